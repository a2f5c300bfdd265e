#include "CliArgs.h"

#include "data/MarloDoc.h"
#include "platform/Cp932.h"

#include <QStringDecoder>
#include <QUrl>
#include <algorithm>
#include <charconv>
#include <cstdint>

const char* const kCliUsageText =
    "使い方: marlo-cli [-f ファイル] [--encoding utf-8|cp932] list\n"
    "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] search キー [--max 件数]\n"
    "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] find キー1 [キー2 [キー3]]\n"
    "        marlo-cli convert 入力ファイル 出力ファイル\n"
    "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] import [--dry-run] 連絡先ファイル...\n"
    "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] export [--format marlo|google|outlook] 出力ファイル.vcf|.csv\n"
    "        marlo-cli [-f ファイル] sync --url アドレス --user ユーザー名 [--trust 証明書のSHA-256]\n"
    "        marlo-cli --help | --version\n";

const char* const kCliHelpText =
    "Marlo の電話帳を端末から一覧、検索、変換します。\n"
    "\n"
    "コマンド:\n"
    "  list                     電話帳の全データを電話帳の順に表示します。\n"
    "  search キー              ローマ字名の検索: 検索欄にキーを入力したときと同じ行を表示します。\n"
    "  find キー1 [キー2 [キー3]] 全文検索: すべてのキーを含む項目を、画面と同じ順 (最後の項目から) に表示します。\n"
    "  convert 入力 出力        電話帳を読み込んで別の形式で保存します。\n"
    "  import 連絡先ファイル... vCard (.vcf) や CSV の連絡先を電話帳に追加して保存します。\n"
    "                           ローマ字名は読み (フリガナ) から、読みがなければ辞書で名前から作ります。\n"
    "                           --dry-run を付けると、追加する項目を表示するだけで保存しません。\n"
    "  export 出力ファイル      電話帳を連絡先として書き出します。形式は名前の末尾で決まります:\n"
    "                           .vcf は vCard 3.0 (UTF-8)、.csv は CSV (既定は BOM 付き UTF-8、\n"
    "                           --encoding cp932 で BOM なしのシフト JIS)。\n"
    "                           CSV の列は --format で選びます: marlo (既定、Marlo の 4 列)、\n"
    "                           google (Google コンタクト)、outlook (日本語版 Outlook)。\n"
    "  sync                     電話帳を CardDAV サーバーのアドレス帳と同期します (両方向)。\n"
    "                           パスワードは環境変数 MARLO_DAV_PASSWORD、パスワードの保管庫、\n"
    "                           端末からの入力の順に探します (コマンド行では渡せません)。\n"
    "\n"
    "オプション:\n"
    "  -f, --file ファイル      電話帳ファイル (省略時は作業ディレクトリの「電話帳」)。\n"
    "  --max 件数               search で表示する最大件数 (0 以下は無制限)。\n"
    "                           省略時は作業ディレクトリの profile の 1 行目、なければ無制限。\n"
    "  --encoding utf-8|cp932   出力の文字コード (既定は utf-8、cp932 はファイルのバイトのまま)。\n"
    "  --dry-run                import で、保存せずに追加する項目を表示します。\n"
    "  --url アドレス           sync で、アドレス帳のアドレス、またはサーバーのアドレス\n"
    "                           (アドレス帳が一つだけのとき)。https のみ (このコンピューターの中は http も可)。\n"
    "  --user ユーザー名        sync で、サーバーのユーザー名。\n"
    "  --trust SHA-256          sync で、確認できない証明書をその SHA-256 (16 進) で信頼します。\n"
    "  -h, --help               この説明を表示します。\n"
    "  --version                バージョンを表示します。\n"
    "\n"
    "末尾が「.txt」のファイルはテキスト形式 (1 行 1 項目、カンマ区切り)、それ以外は電話帳形式です。\n"
    "表示は 1 項目 1 行のテキスト形式です。キーは UTF-8 で渡してください。\n"
    "終了コード: 0 成功、1 ファイルを読み書きできない・同期に失敗した、2 使い方の誤り。\n";

namespace {

// The options as given, before they are checked against the command.
struct Options {
    std::optional<std::string> file;
    std::optional<std::string> maxHits;
    std::optional<std::string> encoding;
    std::optional<std::string> format;
    std::optional<std::string> url, user, trust;
    bool help = false;
    bool version = false;
    bool dryRun = false;
    std::vector<std::string> operands;
};

Options ReadOptions(const std::vector<std::string>& args) {
    Options options;
    bool onlyOperands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyOperands || arg.size() < 2 || arg[0] != '-') {
            options.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyOperands = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (arg.starts_with("--")) {
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            }
        } else if (arg.size() > 2) {
            name = arg.substr(0, 2); // -fFILE
            value = arg.substr(2);
        }
        if (name == "-h" || name == "--help" || name == "--version" || name == "--dry-run") {
            if (value)
                throw CliUsageError{"オプション「" + name + "」は値をとりません。"};
            (name == "--version" ? options.version : name == "--dry-run" ? options.dryRun : options.help) = true;
            continue;
        }
        std::optional<std::string>* target = nullptr;
        if (name == "-f" || name == "--file")
            target = &options.file;
        else if (name == "--max")
            target = &options.maxHits;
        else if (name == "--encoding")
            target = &options.encoding;
        else if (name == "--format")
            target = &options.format;
        else if (name == "--url")
            target = &options.url;
        else if (name == "--user")
            target = &options.user;
        else if (name == "--trust")
            target = &options.trust;
        else
            throw CliUsageError{"不明なオプション「" + arg + "」です。"};
        if (!value) {
            if (i + 1 >= args.size())
                throw CliUsageError{"オプション「" + name + "」には値が必要です。"};
            value = args[++i];
        }
        if (*target)
            throw CliUsageError{"オプション「" + name + "」が二度指定されています。"};
        *target = *value;
    }
    return options;
}

int ParseMaxHits(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw CliUsageError{"件数「" + text + "」は整数ではありません (範囲 " + std::to_string(INT32_MIN) + " から " +
                            std::to_string(INT32_MAX) + ")。"};
    return value;
}

// Keys come from the terminal as UTF-8; the phone book holds code page 932 bytes.
std::string KeyBytes(const std::string& utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (decoder.hasError())
        throw CliUsageError{"キーが UTF-8 の文字列ではありません。", false};
    const Cp932Encoded encoded = UnicodeToCp932(text);
    if (!encoded.ok())
        throw CliUsageError{"キー「" + utf8 + "」の文字 " + NameUnconvertible(encoded.unconvertible).toStdString() +
                                " はシフト JIS (コードページ 932) で表せないため検索できません。",
                            false};
    return encoded.bytes;
}

CliCommand CommandNamed(const std::string& name) {
    static constexpr std::pair<const char*, CliCommand> kCommands[] = {
        {"list", CliCommand::List},       {"search", CliCommand::Search}, {"find", CliCommand::Find},
        {"convert", CliCommand::Convert}, {"import", CliCommand::Import}, {"export", CliCommand::Export},
        {"sync", CliCommand::Sync}};
    for (const auto& [command, value] : kCommands)
        if (name == command)
            return value;
    throw CliUsageError{"不明なコマンド「" + name + "」です。"};
}

} // namespace

CliRequest ParseCommandLine(const std::vector<std::string>& args) {
    const Options options = ReadOptions(args);
    CliRequest request;
    request.arguments = args;
    if (options.help || options.version) {
        request.command = options.help ? CliCommand::Help : CliCommand::Version;
        return request;
    }
    const std::vector<std::string>& ops = options.operands;
    if (ops.empty())
        throw CliUsageError{"コマンドを指定してください。"};
    const std::string& name = ops[0];
    request.files.assign(ops.begin() + 1, ops.end());

    if (name == "convert") {
        if (ops.size() != 3)
            throw CliUsageError{"convert には入力ファイルと出力ファイルを指定してください。"};
        if (options.file || options.maxHits || options.encoding)
            throw CliUsageError{"convert には -f、--max、--encoding を指定できません。"};
        request.command = CliCommand::Convert;
        return request;
    }
    const bool isImport = name == "import", isExport = name == "export", isSync = name == "sync";
    if ((options.url || options.user || options.trust) && !isSync)
        throw CliUsageError{"--url、--user、--trust は sync にだけ指定できます。"};
    if (isSync) {
        if (ops.size() != 1)
            throw CliUsageError{"sync は引数をとりません (--url と --user で指定します)。"};
        if (!options.url || !options.user)
            throw CliUsageError{"sync には --url と --user を指定してください。"};
        if (options.maxHits || options.encoding || options.format || options.dryRun)
            throw CliUsageError{"sync には --max、--encoding、--format、--dry-run を指定できません。"};
        if (options.trust && (options.trust->size() != 64 ||
                              options.trust->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos))
            throw CliUsageError{"--trust には証明書の SHA-256 を 16 進 64 桁で指定してください。"};
        // A password given in the address would stand in the process list for anyone to read.
        if (!QUrl::fromUserInput(QString::fromStdString(*options.url)).password().isEmpty())
            throw CliUsageError{"パスワードを --url に含めないでください (MARLO_DAV_PASSWORD で渡せます)。"};
        request.command = CliCommand::Sync;
        request.book = options.file.value_or(CMarloDoc::kDefaultBookName);
        request.davUrl = *options.url;
        request.davUser = *options.user;
        request.trustedCertificate = options.trust.value_or("");
        return request;
    }
    if (options.dryRun && !isImport)
        throw CliUsageError{"--dry-run は import にだけ指定できます。"};
    if ((isImport || isExport) && options.maxHits)
        throw CliUsageError{"--max は search にだけ指定できます。"};
    if (isImport && ops.size() < 2)
        throw CliUsageError{"import には連絡先のファイルを一つ以上指定してください。"};
    if (isExport && ops.size() != 2)
        throw CliUsageError{"export には出力ファイルを一つ指定してください。"};
    request.command = CommandNamed(name);
    switch (request.command) {
    case CliCommand::List:
        if (ops.size() != 1)
            throw CliUsageError{"list は引数をとりません。"};
        break;
    case CliCommand::Search:
        if (ops.size() != 2)
            throw CliUsageError{"search にはキーを一つ指定してください。"};
        break;
    case CliCommand::Find:
        if (ops.size() < 2 || ops.size() > 4)
            throw CliUsageError{"find にはキーを一つから三つ指定してください。"};
        break;
    default:
        break;
    }
    if (options.format && !isExport)
        throw CliUsageError{"--format は export にだけ指定できます。"};
    if (options.maxHits && request.command != CliCommand::Search)
        throw CliUsageError{"--max は search にだけ指定できます。"};
    if (options.encoding) {
        const QString encoding = QString::fromUtf8(*options.encoding).toLower();
        if (encoding == "cp932")
            request.rawBytes = true;
        else if (encoding != "utf-8" && encoding != "utf8")
            throw CliUsageError{"文字コード「" + *options.encoding + "」は使えません (utf-8 か cp932)。"};
    }
    request.book = options.file.value_or(CMarloDoc::kDefaultBookName);
    request.dryRun = options.dryRun;
    if (isImport)
        return request;
    if (isExport) {
        const std::optional<ExportFormat> format = ExportFormatFor(ops[1], request.rawBytes);
        if (!format)
            throw CliUsageError{"export の出力ファイルの名前は「.vcf」か「.csv」で終えてください。"};
        if (request.rawBytes && *format == ExportFormat::VCard)
            throw CliUsageError{"vCard は UTF-8 で書き出します (--encoding cp932 は CSV にだけ指定できます)。"};
        request.exportFormat = *format;
        if (options.format) {
            static constexpr std::pair<std::string_view, CsvDialect> kDialects[] = {
                {"marlo", CsvDialect::Marlo}, {"google", CsvDialect::Google}, {"outlook", CsvDialect::Outlook}};
            const auto known = std::find_if(std::begin(kDialects), std::end(kDialects),
                                            [&](const auto& d) { return d.first == *options.format; });
            if (known == std::end(kDialects))
                throw CliUsageError{"形式「" + *options.format + "」は使えません (marlo、google、outlook)。"};
            if (*format == ExportFormat::VCard)
                throw CliUsageError{"--format は CSV にだけ指定できます。"};
            request.csvDialect = known->second;
        }
        return request;
    }
    if (options.maxHits)
        request.maxHits = ParseMaxHits(*options.maxHits);
    for (std::size_t i = 0; i < request.files.size(); ++i)
        request.keys[i] = KeyBytes(request.files[i]);
    request.files.clear();
    return request;
}
