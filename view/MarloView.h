#pragma once

#include "BookRows.h"

#include "data/MarloDoc.h"
#include "platform/ui/FormView.h"
#include "platform/ui/ListCtrl.h"

#include <string>

class QLineEdit;

/// What the view needs of the open data-entry dialog: the entries it added,
/// newest first. While the dialog inserts a new entry's row, the view takes the
/// newest entry and files it into the phone book, which owns it from then on.
class EntrySource {
public:
    virtual RecordList::Ptr TakeNewestEntry() = 0;

protected:
    ~EntrySource() = default;
};

/// The search window: the romaji search box, show-all and clear, and the result list.
class CMarloView : public CFormView {
    Q_OBJECT
public:
    explicit CMarloView(CMarloDoc& doc);

    CMarloDoc* GetDocument() const { return &m_doc; }

    void OnInitialUpdate() override;
    void OnShowAll();
    void OnClear();
    void OnInsertItem(int nItem);
    void OnUpdateSearch();
    /// Whether the rows searches copy from match the phone book as it is now.
    bool IsBookPacked() const { return m_doc.m_pData && m_bookRows.Matches(m_doc.m_pData->m_list); }
    /// The data-entry dialog closes.
    void EntryDlgClosed() { m_pEntryDlg = nullptr; }

    CListCtrl& m_listCtrl;
    std::string m_strSearch;
    int m_bModifyMode = 0;
    int m_bAdding = 0;
    EntrySource* m_pEntryDlg = nullptr;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnBeginPrinting(QPainter& painter, CPrintInfo& info) override;
    void OnPrint(QPainter& painter, CPrintInfo& info) override;

private:
    void PackBook();

    CMarloDoc& m_doc;
    BookRows m_bookRows; // the rows searches copy from
    QLineEdit& m_editSearch;
    int m_nRowsPerPage = 1;
};
