#include "SystemError.h"

#include <cerrno>
#include <cstring>

std::string SystemErrorText(int err) {
    switch (err) {
    case ENOENT:
        return "ファイルまたはフォルダーがありません";
    case EACCES:
    case EPERM:
        return "アクセスが許可されていません";
    case EISDIR:
        return "フォルダーです";
    case ENOTDIR:
        return "パスの途中がフォルダーではありません";
    case ENOSPC:
        return "ディスクの空き領域が足りません";
#ifdef EDQUOT
    case EDQUOT:
        return "ディスクの使用量の上限を超えています";
#endif
    case EROFS:
        return "読み取り専用のファイルシステムです";
    case EEXIST:
        return "同じ名前のファイルがすでにあります";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます";
    case ELOOP:
        return "シンボリックリンクが循環しています";
    case EBUSY:
    case ETXTBSY:
        return "ファイルが使用中です";
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます";
    case EIO:
        return "入出力エラーが起きました";
    case ENOMEM:
        return "メモリが足りません";
    case EFBIG:
        return "ファイルが大きすぎます";
    case EOVERFLOW:
        return "ファイルが大きすぎて扱えません";
    case ENXIO:
    case ENODEV:
        return "デバイスがありません";
    case EXDEV:
        return "別のファイルシステムへは移せません";
    case EMLINK:
        return "リンクが多すぎます";
    case EAGAIN:
        return "一時的に使えません。しばらくしてからやり直してください";
    case EINVAL:
        return "このファイルシステムでは使えない名前か操作です";
    case EOPNOTSUPP:
        return "対応していない操作です";
    case ESTALE:
        return "ネットワーク上のファイルが見つからなくなりました";
    default:
        return std::string(std::strerror(err)) + " (" + std::to_string(err) + ")";
    }
}
