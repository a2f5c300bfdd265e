#pragma once

#include "EntryHistory.h"
#include "WindowSync.h"

#include "data/MarloDoc.h"
#include "dialogs/EntrySource.h"
#include "dialogs/EntryTarget.h"
#include "interop/ContactImport.h"
#include "platform/ui/FormView.h"
#include "platform/ui/ListCtrl.h"
#include "search/BookRows.h"

#include <array>
#include <string>
#include <vector>

class CWinApp;
class QLineEdit;

/// The search window: the romaji search box, show-all and clear, the result list,
/// and the actions on its rows.
class CMarloView : public CFormView {
    Q_OBJECT
public:
    /// `pApp` keeps the widths the user gives the columns; without it they are the designed ones.
    explicit CMarloView(CMarloDoc& doc, CWinApp* pApp = nullptr);
    ~CMarloView() override;

    CMarloDoc* GetDocument() const { return &m_doc; }

    void OnInitialUpdate() override;
    void OnShowAll();
    void OnClear();
    void OnInsertItem(int nItem);
    void OnUpdateSearch();
    /// "データ入力": opens the data-entry dialog unless it is open already.
    void OnDataEntry();
    /// "データ修正": modify mode on or off.
    void OnDataModify();
    void OnUpdateDataModify(CCmdUI& ui) const;
    /// "全文検索": up to three keys, every entry that holds them all, last one first.
    void OnFullTextSearch();
    /// The full-text search after the keys are in: every hit of the phone book added to the list.
    void ListFullTextHits(const std::array<std::string, 3>& keys);
    /// "インポート": contacts files chosen in a file dialog, added to the phone book.
    void OnFileImport();
    /// Adds the contacts of the files at `paths` (file-system bytes) to the phone book in
    /// their sorted places, lists the new entries (newest at the top, as the data-entry
    /// dialog does) and tells what could not be carried. Nothing is added when a file
    /// cannot be read.
    void ImportContactFiles(const std::vector<std::string>& paths);
    /// "エクスポート": the whole phone book as vCard or CSV, to a file chosen in a file dialog.
    void OnFileExport();
    /// Writes the whole phone book to `path` (file-system bytes) in `format`; true when written.
    bool ExportContactFile(const std::string& path, ExportFormat format, CsvDialect dialect = CsvDialect::Marlo);
    /// "オプション": the hit limit, kept in the document and written to the settings file.
    void OnOptions();
    /// A double-click on the list: the row at the selection mark is shown, or changed in modify mode.
    void OnDblclkList();
    /// A key in the list: Delete removes the row at the selection mark in modify mode.
    void OnKeydownList(int nKey);
    /// "元に戻す": the text box with the focus undoes its typing; elsewhere the last add,
    /// modify or delete of an entry is undone, and the list is made again as it was made
    /// last (by the name search, show-all or the full-text search) from the book as it is now.
    void OnEditUndo();
    /// "やり直し": the same for redoing.
    void OnEditRedo();
    void OnUpdateEditUndo(CCmdUI& ui) const;
    void OnUpdateEditRedo(CCmdUI& ui) const;
    /// Whether the rows the searches last read are the phone book as it is now.
    bool RowsFollowBook() const { return m_doc.m_pData && m_bookRows.Matches(m_doc.m_pData->m_list); }

    CListCtrl& m_listCtrl;
    std::string m_strSearch; // the key of the last search, code page 932
    bool m_bModifyMode = false;
    bool m_bAdding = false; // the data-entry dialog's row is being inserted
    EntrySource* m_pEntryDlg = nullptr;
    EntryHistory m_history; // the open book's steps to undo; emptied for every new or opened book
    WindowSync m_sync;      // "同期" and "同期の設定"

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnBeginPrinting(QPainter& painter, CPrintInfo& info) override;
    void OnPrint(QPainter& painter, CPrintInfo& info) override;

private:
    /// Lists a new entry at the top of the result list; the list's insert notification
    /// files it (the newest entry of the open data-entry dialog) in the phone book.
    void AddEntryRow(const PhoneRecord& texts);
    /// The data-entry dialog closes.
    void EntryDlgClosed();
    void PlaceBesideFrame(QWidget& dlg) const;
    /// Lists again as the last listing did, after an undo or a redo changed the book.
    void ListAgain();
    /// A sync ended: a book it changed is listed as it is now.
    void Synced(bool bChanged);

    CMarloDoc& m_doc;
    CWinApp* m_pApp;
    EntryTarget m_entryTarget; // the view as the data-entry dialog sees it
    BookRows m_bookRows;       // the book's rows as the searches and the list read them
    QLineEdit& m_editSearch;
    int m_nRowsPerPage = 1;
    /// What made the rows of the list: a search that can run again, or something else.
    enum class Listing { Other, Search, ShowAll, FullText };
    Listing m_listing = Listing::Other;
    std::array<std::string, 3> m_fullTextKeys; // of the last full-text search
};
