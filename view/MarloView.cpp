#include "MarloView.h"

#include "EntryActions.h"

#include "dialogs/DataEntryDlg.h"
#include "dialogs/ImportReportDlg.h"
#include "dialogs/OptionDlg.h"
#include "dialogs/SearchDlg.h"

#include "data/Settings.h"
#include "interop/Romaji.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "search/FullTextSearch.h"
#include "search/NameSearch.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSet>

#include <algorithm>
#include <optional>

namespace {

struct ColumnLayout {
    const char* pszHeading;
    int nWidth; // pixels for the 9-point dialog font
};

constexpr ColumnLayout kColumns[] = {{"name", 40}, {"氏名", 100}, {"電話番号", 100}, {"メモ", 170}};

// The column widths were made for a font six pixels wide on average; keep their
// proportions to the font actually used.
constexpr int kDesignCharWidth = 6;

// Widths the user gives the columns are kept for the next run in the profile store.
constexpr const char* kColumnSection = "Result List";
constexpr int kMaxColumnWidth = 10000;

QString ColumnEntry(int nCol) {
    return QStringLiteral("Column%1 Width").arg(nCol);
}

/// The kept width of column `nCol`, or its designed one when none was kept or the
/// profile holds a width no drag gives.
int ColumnWidth(const CWinApp* pApp, const QHeaderView& header, int nCol, int nDesigned) {
    const int nKept = pApp ? pApp->GetProfileInt(QLatin1String(kColumnSection), ColumnEntry(nCol), 0) : 0;
    return nKept >= header.minimumSectionSize() && nKept <= kMaxColumnWidth ? nKept : nDesigned;
}

/// Writes the widths of the columns the user resized. A drag resizes a column at every
/// step: they are written once, when the mouse button comes up.
class ColumnWidthKeeper : public QObject {
public:
    ColumnWidthKeeper(QHeaderView& header, CWinApp& app) : QObject(&header), m_header(header), m_app(app) {
        connect(&header, &QHeaderView::sectionResized, this, [this](int nCol) { m_resized.insert(nCol); });
        header.viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            for (int nCol : std::as_const(m_resized))
                m_app.WriteProfileInt(QLatin1String(kColumnSection), ColumnEntry(nCol), m_header.sectionSize(nCol));
            m_resized.clear();
        }
        return false;
    }

private:
    QHeaderView& m_header;
    CWinApp& m_app;
    QSet<int> m_resized;
};

bool IsKana(char16_t c) {
    return (c >= u'\u3041' && c <= u'\u309F') || (c >= u'\u30A0' && c <= u'\u30FF') ||
           (c >= u'\uFF65' && c <= u'\uFF9F');
}

/// The romaji of a key typed in kana, by the rules that make romaji names of the readings
/// in imported contacts; Latin letters typed along with the kana are lower-cased and kept.
/// Nothing when the key holds no kana, or holds characters those rules do not spell
/// (kanji, punctuation): such a key is searched as typed.
std::optional<std::string> RomajiOfKanaKey(const QString& line) {
    // Most keys are typed in romaji: one look at each character settles them.
    if (std::none_of(line.begin(), line.end(), [](QChar c) { return IsKana(c.unicode()); }))
        return std::nullopt;
    const bool bSpelled = std::all_of(line.begin(), line.end(), [](QChar c) {
        return IsKana(c.unicode()) || c.isSpace() || c.isDigit() || c.isMark() ||
               (c.isLetter() && c.script() == QChar::Script_Latin);
    });
    if (!bSpelled)
        return std::nullopt;
    return RomajiFromReading(line);
}

/// The search key of the box's text: its first line in code page 932, up to the first
/// character the code page cannot hold (no name can contain it), cut to the key's
/// maximum length even inside a double-byte character. A key in kana is its romaji.
std::string SearchKey(const QString& text) {
    QString line = text.section(QLatin1Char('\n'), 0, 0);
    if (std::optional<std::string> romaji = RomajiOfKanaKey(line)) {
        if (romaji->size() > kSearchKeyMax)
            romaji->resize(kSearchKeyMax);
        return std::move(*romaji);
    }
    Cp932Encoded encoded = UnicodeToCp932(line);
    if (!encoded.ok()) {
        // The characters at fault come in the order they appear: the first one ends the key.
        const QString& bad = encoded.unconvertible;
        const qsizetype badLength = bad.at(0).isHighSurrogate() && bad.size() > 1 ? 2 : 1;
        line.truncate(line.indexOf(bad.left(badLength)));
        encoded = UnicodeToCp932(line);
    }
    std::string key = std::move(encoded.bytes);
    if (key.size() > kSearchKeyMax)
        key.resize(kSearchKeyMax);
    return key;
}

} // namespace

CMarloView::CMarloView(CMarloDoc& doc, CWinApp* pApp)
    : CFormView(MarloFormTemplate()), m_listCtrl(*GetDlgItem<CListCtrl>(IDC_LIST)), m_history(doc),
      m_sync(doc, pApp, this, [this](bool bChanged) { Synced(bChanged); }), m_doc(doc),
      m_pApp(pApp), m_entryTarget{this,
                                  [this] {
                                      m_listCtrl.DeleteAllItems();
                                      m_listing = Listing::Other;
                                  },
                                  [this](const PhoneRecord& texts) { AddEntryRow(texts); },
                                  [this] { EntryDlgClosed(); }},
      m_editSearch(*GetDlgItem<QLineEdit>(IDC_SEARCH)) {
    connect(GetDlgItem<QPushButton>(IDC_SHOWALL), &QPushButton::clicked, this, &CMarloView::OnShowAll);
    connect(GetDlgItem<QPushButton>(IDC_CLEAR), &QPushButton::clicked, this, &CMarloView::OnClear);
    connect(&m_listCtrl, &CListCtrl::DblClkNotify, this, &CMarloView::OnDblclkList);
    connect(&m_listCtrl, &CListCtrl::KeyDownNotify, this, &CMarloView::OnKeydownList);
    // Every change of the text, typed or set by the program, runs the search.
    connect(&m_editSearch, &QLineEdit::textChanged, this, &CMarloView::OnUpdateSearch);
    // The document tells of its own changes of the phone book, so that searches after
    // them know the book's order without looking.
    m_doc.SetBookObserver(&m_bookRows);
    OnCommand(ID_DATA_ENTRY, [this] { OnDataEntry(); });
    OnCommand(ID_DATA_MODIFY, [this] { OnDataModify(); });
    OnUpdateCommand(ID_DATA_MODIFY, [this](CCmdUI& ui) { OnUpdateDataModify(ui); });
    OnCommand(ID_EDIT_UNDO, [this] { OnEditUndo(); });
    OnCommand(ID_EDIT_REDO, [this] { OnEditRedo(); });
    OnUpdateCommand(ID_EDIT_UNDO, [this](CCmdUI& ui) { OnUpdateEditUndo(ui); });
    OnUpdateCommand(ID_EDIT_REDO, [this](CCmdUI& ui) { OnUpdateEditRedo(ui); });
    OnCommand(ID_OPTIONS, [this] { OnOptions(); });
    OnCommand(ID_FULL_TEXT_SEARCH, [this] { OnFullTextSearch(); });
    OnCommand(ID_FILE_IMPORT, [this] { OnFileImport(); });
    OnCommand(ID_FILE_EXPORT, [this] { OnFileExport(); });
    OnCommand(ID_FILE_SYNC, [this] { m_sync.OnFileSync(); });
    OnCommand(ID_FILE_SYNC_SETTINGS, [this] { m_sync.OnSyncSettings(); });
    OnCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
    OnCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrint(); });
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
}

CMarloView::~CMarloView() {
    m_doc.SetBookObserver(nullptr);
    m_listCtrl.DeleteAllItems(); // its rows hold the book's texts for as long as it lives
}

void CMarloView::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, IDC_SEARCH, m_strSearch);
}

void CMarloView::OnInitialUpdate() {
    CFrameWnd* frame = GetParentFrame();
    if (frame)
        frame->RecalcLayout();
    // Every new or opened phone book fits the window to the form, shrinking only; the
    // result list takes whatever room the user gives the window beyond that. A
    // maximised window stays as the user made it.
    SetGrowingControl(IDC_LIST);
    if (!(window()->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        ResizeParentToFit(true);
    // The columns are made once; later phone books keep them and the rows.
    if (m_listCtrl.GetColumnHeading(1).isEmpty()) {
        m_listCtrl.DeleteAllItems();
        const DialogUnits du(DialogFont());
        QHeaderView& header = *m_listCtrl.header();
        int nCol = 0;
        for (const ColumnLayout& column : kColumns) {
            const int nDesigned = column.nWidth * du.CharWidth() / kDesignCharWidth;
            m_listCtrl.InsertColumn(nCol, QString::fromUtf8(column.pszHeading),
                                    ColumnWidth(m_pApp, header, nCol, nDesigned));
            ++nCol;
        }
        if (m_pApp)
            new ColumnWidthKeeper(header, *m_pApp); // the header owns it
    }
    // Whether a phone book just opened is in order is learnt now, not at the first keystroke.
    if (m_doc.m_pData)
        m_bookRows.Of(m_doc.m_pData->m_list);
    m_strSearch.clear(); // every new or opened phone book starts with an empty search box
    m_history.Clear();
    CFormView::OnInitialUpdate();
}

void CMarloView::OnShowAll() {
    m_listCtrl.SetRedraw(false);
    m_listCtrl.DeleteAllItems();
    if (m_doc.m_pData) {
        const PackedRows::Shown rows = m_bookRows.Of(m_doc.m_pData->m_list);
        m_listCtrl.ShowItemsOf(rows, 0, rows->Count());
    }
    m_listCtrl.SetRedraw(true);
    m_listing = Listing::ShowAll;
}

void CMarloView::OnClear() {
    m_listCtrl.DeleteAllItems();
    m_listing = Listing::Other;
    m_editSearch.setText(QString());
    m_editSearch.setFocus();
}

void CMarloView::OnInsertItem(int) {
    // Only the data-entry dialog's rows are new entries; every other writer lists
    // records the phone book already holds.
    if (!m_bAdding || !m_pEntryDlg || !m_doc.m_pData)
        return;
    if (const std::optional<PhoneRecord> record = m_pEntryDlg->TakeNewestEntry())
        m_history.Add(*record);
}

void CMarloView::AddEntryRow(const PhoneRecord& texts) {
    const QScopedValueRollback<bool> adding(m_bAdding, true);
    m_listing = Listing::Other;
    m_listCtrl.InsertItem(0, texts.m_strRomaji);
    m_listCtrl.SetItemText(0, 1, texts.m_strKanji);
    m_listCtrl.SetItemText(0, 2, texts.m_strPhone);
    m_listCtrl.SetItemText(0, 3, texts.m_strMemo);
}

void CMarloView::OnDataEntry() {
    if (!m_pEntryDlg) {
        auto* dlg = new CDataEntryDlg(&m_entryTarget); // deletes itself once its window is gone
        m_pEntryDlg = dlg;
        // Rows are filed only while the dialog is open: the searches' rows, a hundred
        // thousand at a time, make no call at all.
        m_listCtrl.SetInsertItemNotify([this](int nItem) { OnInsertItem(nItem); });
        dlg->Create();
        PlaceBesideFrame(*dlg);
    }
    update();
}

void CMarloView::EntryDlgClosed() {
    m_pEntryDlg = nullptr;
    m_listCtrl.SetInsertItemNotify(nullptr);
}

// The entry dialog stands beside the main window, where it covers none of the list.
void CMarloView::PlaceBesideFrame(QWidget& dlg) const {
    const QWidget* frame = window();
    const QScreen* screen = frame->screen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QRect outer = frame->frameGeometry();
    const QSize size = dlg.frameGeometry().size();
    QPoint at(outer.right() + 1, outer.top());
    if (at.x() + size.width() > avail.right() + 1)
        at.setX(outer.left() - size.width());
    if (at.x() < avail.left())
        at.setX(avail.left());
    at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - size.height())));
    dlg.move(at);
}

void CMarloView::OnDataModify() {
    m_bModifyMode = !m_bModifyMode;
}

void CMarloView::OnUpdateDataModify(CCmdUI& ui) const {
    ui.SetCheck(m_bModifyMode);
}

void CMarloView::OnDblclkList() {
    if (m_bModifyMode)
        ModifyEntry(m_history, m_listCtrl);
    else
        DisplayEntry(m_listCtrl);
}

void CMarloView::OnKeydownList(int nKey) {
    if (m_bModifyMode && nKey == Qt::Key_Delete)
        DeleteEntry(m_history, m_listCtrl);
}

void CMarloView::OnEditUndo() {
    if (!CFrameWnd::SendToTextBox(window(), "undo") && m_history.Undo())
        ListAgain();
}

void CMarloView::OnEditRedo() {
    if (!CFrameWnd::SendToTextBox(window(), "redo") && m_history.Redo())
        ListAgain();
}

void CMarloView::ListAgain() {
    switch (m_listing) {
    case Listing::Search:
        OnUpdateSearch();
        break;
    case Listing::ShowAll:
        OnShowAll();
        break;
    case Listing::FullText:
        m_listCtrl.DeleteAllItems();
        ListFullTextHits(std::array(m_fullTextKeys));
        break;
    case Listing::Other:
        break;
    }
}

void CMarloView::Synced(bool bChanged) {
    // The steps of the history cannot be undone across the server's entries the sync
    // filed: the history sees that for itself (EntryHistory::FollowsBook), and steps
    // made after the filing stay.
    if (!bChanged)
        return;
    if (m_listing == Listing::Other)
        OnShowAll();
    else
        ListAgain();
}

void CMarloView::OnUpdateEditUndo(CCmdUI& ui) const {
    ui.Enable(CFrameWnd::TextBoxWithFocus(window(), "undo") || m_history.CanUndo());
}

void CMarloView::OnUpdateEditRedo(CCmdUI& ui) const {
    ui.Enable(CFrameWnd::TextBoxWithFocus(window(), "redo") || m_history.CanRedo());
}

void CMarloView::OnOptions() {
    COptionDlg dlg;
    if (m_doc.m_nMaxHits == 0)
        dlg.m_bShowAll = 1;
    dlg.m_nMaxCount = m_doc.m_nMaxHits;
    if (dlg.DoModal() != IDOK)
        return;
    // The next keystroke searches with the new limit; the list stays as it is.
    m_doc.m_nMaxHits = dlg.m_bShowAll == 1 ? 0 : dlg.m_nMaxCount;
    // The working folder's own bytes: its name need not be UTF-8.
    const std::string path = AbsolutePath(CMarloDoc::kSettingsName);
    const SettingsWriteResult written = WriteMaxHits(path, m_doc.m_nMaxHits);
    if (!written.ok())
        AfxMessageBox(this, QStringLiteral("設定ファイル「%1」に書き込めません: %2\n"
                                           "新しい設定はプログラムを終了するまで有効です。")
                                .arg(QString::fromUtf8(path), QString::fromStdString(written.Reason())));
}

void CMarloView::OnFullTextSearch() {
    // Emptied before the dialog: Cancel leaves an empty list, not the last writer's rows.
    m_listCtrl.DeleteAllItems();
    m_listing = Listing::Other;
    CSearchDlg dlg;
    if (dlg.DoModal() != IDOK)
        return;
    ListFullTextHits({dlg.m_strKey1, dlg.m_strKey2, dlg.m_strKey3});
}

void CMarloView::ListFullTextHits(const std::array<std::string, 3>& keys) {
    const bool bNoKey = std::all_of(keys.begin(), keys.end(), [](const std::string& key) { return key.empty(); });
    if (bNoKey || !m_doc.m_pData)
        return;
    const PackedRows& rows = m_bookRows.Of(std::as_const(m_doc.m_pData->m_list));
    // The hits come last one first; appending them in that order gives the list
    // that putting each at the top would, without moving every row down each time.
    // Each row is copied as the packed block it is, right after the search read it.
    // Room for every row is only address space until rows are written into it.
    m_listCtrl.SetRedraw(false);
    m_listCtrl.SetItemCount(static_cast<int>(rows.Count()));
    FullTextSearch(rows, keys, [this, &rows](std::size_t row) { m_listCtrl.AppendItems(rows, row, 1); });
    m_listCtrl.SetRedraw(true);
    m_listing = Listing::FullText;
    m_fullTextKeys = keys;
}

namespace {

// The file dialogs' filters for contacts; the export's decide the format.
struct ExportFilter {
    const char* filter;
    ExportFormat format;
    const char* suffix;
    CsvDialect dialect = CsvDialect::Marlo;
};
constexpr ExportFilter kExportFilters[] = {
    {"vCard (*.vcf)", ExportFormat::VCard, "vcf"},
    {"CSV UTF-8 (*.csv)", ExportFormat::CsvUtf8, "csv"},
    {"CSV シフト JIS (*.csv)", ExportFormat::CsvCp932, "csv"},
    {"Google コンタクト CSV (*.csv)", ExportFormat::CsvUtf8, "csv", CsvDialect::Google},
    {"Outlook CSV シフト JIS (*.csv)", ExportFormat::CsvCp932, "csv", CsvDialect::Outlook},
};

} // namespace

void CMarloView::OnFileImport() {
    if (m_doc.ReportIfBusy())
        return;
    QFileDialog dialog(window(), QStringLiteral("インポート"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters({QStringLiteral("連絡先 (*.vcf *.csv)"), QStringLiteral("すべてのﾌｧｲﾙ (*)")});
    dialog.setDirectory(QDir::currentPath());
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<std::string> paths;
    for (const QString& file : dialog.selectedFiles()) {
        const std::optional<std::string> path =
            PathFromToolkit(file, "インポートできません",
                            [this](const std::string& m) { AfxMessageBox(this, QString::fromStdString(m)); });
        if (!path)
            return;
        paths.push_back(*path);
    }
    ImportContactFiles(paths);
}

void CMarloView::ImportContactFiles(const std::vector<std::string>& paths) {
    if (!m_doc.m_pData || paths.empty())
        return;
    ContactImport import;
    if (!ReadContactFiles(m_doc, paths, import)) // the document has told why
        return;
    const RecordList& records = import.entries;
    m_doc.AddEntries(records);
    // The steps before cannot be undone across the import, which moved the records after them.
    m_history.Clear();
    // The new entries as the data-entry dialog lists them: the last one at the top.
    PackedRows rows;
    for (std::size_t i = records.GetCount(); i-- > 0;)
        rows.Append({records[i].m_strRomaji, records[i].m_strKanji, records[i].m_strPhone, records[i].m_strMemo});
    m_listCtrl.SetRedraw(false);
    m_listCtrl.DeleteAllItems();
    m_listCtrl.AppendItems(rows, 0, rows.Count());
    m_listCtrl.SetRedraw(true);
    m_listing = Listing::Other;
    CImportReportDlg report(window());
    for (const std::string& path : paths)
        report.m_strSummary += QStringLiteral("「") + QString::fromUtf8(FileNameOf(path)) + QStringLiteral("」");
    report.m_strSummary += QStringLiteral("から %1 件を追加しました。").arg(records.GetCount());
    report.m_strDetails = import.Describe(true);
    report.DoModal();
}

void CMarloView::OnFileExport() {
    if (!m_doc.m_pData)
        return;
    QFileDialog dialog(window(), QStringLiteral("エクスポート"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const ExportFilter& filter : kExportFilters)
        filters.push_back(QString::fromUtf8(filter.filter));
    dialog.setNameFilters(filters);
    dialog.setDirectory(QDir::currentPath());
    dialog.selectFile(QStringLiteral("電話帳.vcf"));
    // Choosing a format gives the name its extension: in the name box, and for a name typed without one.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString& filter) {
        const qsizetype i = filters.indexOf(filter);
        if (i < 0)
            return;
        const QString suffix = QString::fromUtf8(kExportFilters[i].suffix);
        dialog.setDefaultSuffix(suffix);
        if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            QString text = name->text();
            if (text.endsWith(QStringLiteral(".vcf"), Qt::CaseInsensitive) ||
                text.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
                name->setText(text.left(text.size() - 3) + suffix);
        }
    });
    dialog.setDefaultSuffix(QString::fromUtf8(kExportFilters[0].suffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const std::optional<std::string> path =
        PathFromToolkit(dialog.selectedFiles().constFirst(), "エクスポートできません",
                        [this](const std::string& m) { AfxMessageBox(this, QString::fromStdString(m)); });
    if (!path)
        return;
    const qsizetype chosen = std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter()));
    ExportFormat format = kExportFilters[chosen].format;
    CsvDialect dialect = kExportFilters[chosen].dialect;
    // A name that asks for the other format by its extension gets that format.
    if (const std::optional<ExportFormat> byName = ExportFormatFor(*path, format == ExportFormat::CsvCp932);
        byName && (*byName == ExportFormat::VCard) != (format == ExportFormat::VCard)) {
        format = *byName;
        dialect = CsvDialect::Marlo;
    }
    ExportContactFile(*path, format, dialect);
}

bool CMarloView::ExportContactFile(const std::string& path, ExportFormat format, CsvDialect dialect) {
    if (!m_doc.m_pData || !ExportBook(m_doc, path, format, dialect)) // the document has told why
        return false;
    AfxMessageBox(this,
                  QStringLiteral("%1 に %2 件を書き出しました。")
                      .arg(QString::fromStdString(QuotePath(path)))
                      .arg(m_doc.m_pData->m_list.GetCount()),
                  QMessageBox::Information);
    return true;
}

void CMarloView::OnUpdateSearch() {
    const QString text = m_editSearch.text();
    if (text.isEmpty())
        return;
    const std::string key = SearchKey(text);
    m_strSearch = key;
    m_listCtrl.SetRedraw(false);
    m_listCtrl.DeleteAllItems();
    if (!key.empty() && m_doc.m_pData) {
        const PackedRows::Shown rows = m_bookRows.Of(m_doc.m_pData->m_list);
        const RowRange hits = NameSearch(*rows, m_bookRows.IsSorted(), key, m_doc.m_nMaxHits);
        m_listCtrl.ShowItemsOf(rows, hits.first, hits.count);
    }
    m_listCtrl.SetRedraw(true);
    m_listing = Listing::Search;
}

namespace {

struct PrintLayout {
    QFont font;
    QFont headingFont;
    int nLineHeight;
    int nHeaderHeight;
};

PrintLayout MakePrintLayout(QPainter& painter) {
    PrintLayout layout{DialogFont(), DialogFont(), 0, 0};
    layout.headingFont.setBold(true);
    const QFontMetrics fm(layout.font, painter.device());
    layout.nLineHeight = fm.height() + fm.height() / 4;
    layout.nHeaderHeight = layout.nLineHeight * 3 / 2;
    return layout;
}

} // namespace

void CMarloView::OnBeginPrinting(QPainter& painter, CPrintInfo& info) {
    const PrintLayout layout = MakePrintLayout(painter);
    m_nRowsPerPage = std::max(1, (info.m_rectDraw.height() - layout.nHeaderHeight) / layout.nLineHeight);
    const int rows = m_listCtrl.GetItemCount();
    info.m_nMaxPage = std::max(1, (rows + m_nRowsPerPage - 1) / m_nRowsPerPage);
}

void CMarloView::OnPrint(QPainter& painter, CPrintInfo& info) {
    const PrintLayout layout = MakePrintLayout(painter);
    const QRect page = info.m_rectDraw;
    const int nColumns = m_listCtrl.GetColumnCount();
    // The columns keep the proportions they have on the screen, across the page's width.
    int total = 0;
    for (int i = 0; i < nColumns; ++i)
        total += std::max(1, m_listCtrl.header()->sectionSize(i));
    std::vector<int> left(static_cast<std::size_t>(nColumns) + 1, page.left());
    for (int i = 0, x = 0; i < nColumns; ++i) {
        x += std::max(1, m_listCtrl.header()->sectionSize(i));
        left[static_cast<std::size_t>(i) + 1] = page.left() + static_cast<int>(qint64(x) * page.width() / total);
    }
    const int gap = layout.nLineHeight / 3;
    auto drawCell = [&](int col, int y, const QString& text, const QFont& font) {
        const int x0 = left[static_cast<std::size_t>(col)];
        const int width = left[static_cast<std::size_t>(col) + 1] - x0 - gap;
        const QFontMetrics fm(font, painter.device());
        painter.drawText(QRect(x0, y, width, layout.nLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         fm.elidedText(text, Qt::ElideRight, width));
    };

    painter.setFont(layout.headingFont);
    for (int col = 0; col < nColumns; ++col)
        drawCell(col, page.top(), m_listCtrl.GetColumnHeading(col), layout.headingFont);
    const int lineY = page.top() + layout.nLineHeight + layout.nLineHeight / 8;
    painter.drawLine(page.left(), lineY, page.right(), lineY);

    painter.setFont(layout.font);
    const int first = (info.m_nCurPage - 1) * m_nRowsPerPage;
    const int last = std::min(m_listCtrl.GetItemCount(), first + m_nRowsPerPage);
    int y = page.top() + layout.nHeaderHeight;
    for (int row = first; row < last; ++row, y += layout.nLineHeight) {
        for (int col = 0; col < nColumns; ++col) {
            QString text = Cp932ToUnicode(m_listCtrl.GetItemText(row, col));
            text.replace(QLatin1String("\r\n"), QLatin1String(" "));
            drawCell(col, y, text, layout.font);
        }
    }
}
