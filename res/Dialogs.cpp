#include "Dialogs.h"

#include "Resource.h"

namespace {

using namespace ControlStyle;

constexpr ControlTemplate kAboutControls[] = {
    {-1, ControlKind::Icon, "128", 11, 17, 20, 20, 0},
    {-1, ControlKind::Static, "Marlo Version 1.0", 40, 10, 119, 8, NoPrefix},
    {IDOK, ControlKind::PushButton, "OK", 178, 7, 50, 14, TabStop | DefaultButton},
};

constexpr ControlTemplate kFormControls[] = {
    {-1, ControlKind::Static, "ローマ字名を直接入力", 11, 9, 71, 15, CenterVertical},
    {IDC_SEARCH, ControlKind::Edit, "", 6, 25, 75, 16, TabStop},
    {IDC_SHOWALL, ControlKind::PushButton, "全データ表示", 90, 3, 80, 19, TabStop},
    {IDC_CLEAR, ControlKind::PushButton, "クリアー", 90, 27, 80, 19, TabStop},
    {IDC_LIST, ControlKind::ListView, "List2", 1, 49, 172, 107, TabStop},
};

// The data-entry dialog: the tab order runs OK, romaji, phone, kanji, memo, add, clear.
constexpr ControlTemplate kEntryControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 4, 155, 38, 14, TabStop | DefaultButton},
    {-1, ControlKind::Static, "ﾛｰﾏ字名", 9, 16, 27, 8, 0},
    {-1, ControlKind::Static, "漢字名", 14, 35, 22, 8, 0},
    {-1, ControlKind::Static, "電話番号", 8, 56, 28, 8, 0},
    {-1, ControlKind::Static, "メモ", 14, 80, 12, 8, 0},
    {IDC_ENTRY_ROMAJI, ControlKind::Edit, "", 39, 12, 83, 15, TabStop},
    {IDC_ENTRY_PHONE, ControlKind::Edit, "", 39, 53, 83, 15, TabStop},
    {IDC_ENTRY_KANJI, ControlKind::Edit, "", 39, 33, 83, 15, TabStop},
    {IDC_ENTRY_MEMO, ControlKind::MultiLineEdit, "", 4, 88, 126, 65, TabStop},
    {-1, ControlKind::GroupBox, "", 4, 0, 126, 78, 0},
    {IDC_ENTRY_ADD, ControlKind::PushButton, "データ追加", 47, 155, 40, 14, TabStop},
    {IDC_ENTRY_CLEAR, ControlKind::PushButton, "クリアー", 92, 155, 38, 14, TabStop},
};

constexpr ControlTemplate kModifyControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 5, 154, 56, 14, TabStop | DefaultButton},
    {IDCANCEL, ControlKind::PushButton, "ｷｬﾝｾﾙ", 73, 154, 57, 14, TabStop},
    {-1, ControlKind::GroupBox, "", 5, 3, 125, 74, 0},
    {IDC_MODIFY_ROMAJI, ControlKind::Edit, "", 40, 13, 81, 15, TabStop},
    {IDC_MODIFY_KANJI, ControlKind::Edit, "", 40, 33, 81, 15, TabStop},
    {IDC_MODIFY_PHONE, ControlKind::Edit, "", 40, 54, 81, 15, TabStop},
    {-1, ControlKind::Static, "ﾛｰﾏ字名", 10, 17, 29, 11, 0},
    {-1, ControlKind::Static, "漢字名", 14, 37, 22, 8, 0},
    {-1, ControlKind::Static, "電話番号", 10, 58, 28, 8, 0},
    {-1, ControlKind::Static, "メモ", 12, 79, 12, 8, 0},
    {IDC_MODIFY_MEMO, ControlKind::MultiLineEdit, "", 5, 88, 125, 64, TabStop},
};

constexpr ControlTemplate kViewControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 36, 154, 64, 14, TabStop | DefaultButton},
    {-1, ControlKind::GroupBox, "", 5, 3, 125, 74, 0},
    {IDC_VIEW_ROMAJI, ControlKind::Edit, "", 40, 13, 81, 15, TabStop},
    {IDC_VIEW_KANJI, ControlKind::Edit, "", 40, 33, 81, 15, TabStop},
    {IDC_VIEW_PHONE, ControlKind::Edit, "", 40, 54, 81, 15, TabStop},
    {-1, ControlKind::Static, "ﾛｰﾏ字名", 10, 17, 29, 11, 0},
    {-1, ControlKind::Static, "漢字名", 14, 37, 22, 8, 0},
    {-1, ControlKind::Static, "電話番号", 10, 58, 28, 8, 0},
    {IDC_VIEW_MEMO, ControlKind::MultiLineEdit, "", 5, 88, 125, 64, TabStop},
    {-1, ControlKind::Static, "メモ", 13, 79, 12, 8, 0},
};

constexpr ControlTemplate kRomajiWarnControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 71, 44, 50, 14, TabStop | DefaultButton},
    {-1, ControlKind::Icon, "138", 13, 17, 21, 20, 0},
    {-1, ControlKind::Static, "ﾛｰﾏ字名には、半角の英数字を入力してください", 36, 26, 139, 8, NoPrefix},
};

// The options dialog: the hit limit, or every hit.
constexpr ControlTemplate kOptionControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 7, 61, 50, 14, TabStop | DefaultButton},
    {IDCANCEL, ControlKind::PushButton, "ｷｬﾝｾﾙ", 80, 61, 50, 14, TabStop},
    {IDC_OPTION_MAXCOUNT, ControlKind::Edit, "", 13, 16, 18, 14, TabStop},
    {IDC_OPTION_SHOWALL, ControlKind::CheckBox, "検出したデータを全て表示する", 20, 41, 105, 10, TabStop},
    {-1, ControlKind::Static, "表示する検出データの最大数", 35, 19, 87, 8, 0},
};

// The full-text search: the boxes stand key 1, 2, 3 from the top, the tab order
// runs OK, Cancel, key 1, key 3, key 2.
constexpr ControlTemplate kSearchControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 8, 84, 50, 14, TabStop | DefaultButton},
    {IDCANCEL, ControlKind::PushButton, "ｷｬﾝｾﾙ", 73, 84, 50, 14, TabStop},
    {IDC_SEARCH_KEY1, ControlKind::Edit, "", 42, 7, 83, 15, TabStop},
    {IDC_SEARCH_KEY3, ControlKind::Edit, "", 42, 49, 83, 15, TabStop},
    {IDC_SEARCH_KEY2, ControlKind::Edit, "", 42, 29, 83, 15, TabStop},
    {-1, ControlKind::Static, "第１キー", 10, 11, 26, 8, 0},
    {-1, ControlKind::Static, "第２キー", 10, 32, 26, 8, 0},
    {-1, ControlKind::Static, "第３キー", 10, 52, 26, 8, 0},
};

// The report of a contacts import: the count and the files above, what was not carried below.
// A sync's report has the same layout.
constexpr ControlTemplate kImportReportControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 115, 176, 50, 14, TabStop | DefaultButton},
    {IDC_IMPORT_SUMMARY, ControlKind::Static, "", 7, 7, 266, 18, NoPrefix},
    {IDC_IMPORT_DETAILS, ControlKind::MultiLineEdit, "", 7, 28, 266, 142, TabStop},
};

// The link of a phone book to a CardDAV address book: where, as whom, which book.
constexpr ControlTemplate kSyncSettingsControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 118, 176, 50, 14, TabStop | DefaultButton},
    {IDCANCEL, ControlKind::PushButton, "ｷｬﾝｾﾙ", 173, 176, 50, 14, TabStop},
    {-1, ControlKind::Static, "サーバーのアドレス(&A)", 7, 10, 70, 8, 0},
    {IDC_SYNC_URL, ControlKind::Edit, "", 80, 7, 143, 14, TabStop},
    {-1, ControlKind::Static, "ユーザー名(&U)", 7, 28, 70, 8, 0},
    {IDC_SYNC_USER, ControlKind::Edit, "", 80, 25, 143, 14, TabStop},
    {-1, ControlKind::Static, "パスワード(&P)", 7, 46, 70, 8, 0},
    {IDC_SYNC_PASSWORD, ControlKind::Edit, "", 80, 43, 143, 14, TabStop | Password},
    {IDC_SYNC_FIND, ControlKind::PushButton, "アドレス帳を探す(&F)", 80, 62, 80, 14, TabStop},
    {-1, ControlKind::Static, "アドレス帳(&B)", 7, 84, 70, 8, 0},
    {IDC_SYNC_BOOKS, ControlKind::ListBox, "", 7, 94, 216, 48, TabStop},
    {IDC_SYNC_MESSAGE, ControlKind::Static, "", 7, 146, 216, 26, NoPrefix},
};

const DialogTemplate kAbout = {IDD_ABOUTBOX, "Marloのﾊﾞｰｼﾞｮﾝ情報", 235, 55, kAboutControls};
const DialogTemplate kForm = {IDD_MARLO_FORM, "", 174, 159, kFormControls};
const DialogTemplate kEntry = {IDD_DATA_ENTRY, "データ入力", 134, 171, kEntryControls};
const DialogTemplate kModify = {IDD_DATA_MODIFY, "データ修正", 135, 171, kModifyControls};
const DialogTemplate kView = {IDD_DATA_VIEW, "データ表示", 137, 173, kViewControls};
const DialogTemplate kOption = {IDD_OPTIONS, "オプション", 137, 85, kOptionControls};
const DialogTemplate kSearch = {IDD_FULL_TEXT_SEARCH, "全文検索", 131, 105, kSearchControls};
const DialogTemplate kRomajiWarn = {IDD_ROMAJI_WARN, "Marlo", 191, 65, kRomajiWarnControls};
const DialogTemplate kImportReport = {IDD_IMPORT_REPORT, "インポートの結果", 280, 197, kImportReportControls};
const DialogTemplate kSyncSettings = {IDD_SYNC_SETTINGS, "同期の設定", 230, 197, kSyncSettingsControls};
// The contacts a sync found changed on both sides, in the import report's layout.
const DialogTemplate kSyncReport = {IDD_SYNC_REPORT, "同期の結果", 280, 197, kImportReportControls};

} // namespace

const DialogTemplate& AboutTemplate() {
    return kAbout;
}

const DialogTemplate& MarloFormTemplate() {
    return kForm;
}

const DialogTemplate& DataEntryTemplate() {
    return kEntry;
}

const DialogTemplate& DataModifyTemplate() {
    return kModify;
}

const DialogTemplate& DataViewTemplate() {
    return kView;
}

const DialogTemplate& RomajiWarnTemplate() {
    return kRomajiWarn;
}

const DialogTemplate& OptionTemplate() {
    return kOption;
}

const DialogTemplate& FullTextSearchTemplate() {
    return kSearch;
}

const DialogTemplate& ImportReportTemplate() {
    return kImportReport;
}

const DialogTemplate& SyncSettingsTemplate() {
    return kSyncSettings;
}

const DialogTemplate& SyncReportTemplate() {
    return kSyncReport;
}
