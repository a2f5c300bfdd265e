#pragma once

#include "EntrySource.h"
#include "EntryTarget.h"

#include "platform/ui/Dialog.h"

#include <deque>
#include <string>

/// "データ入力", template 130: the modeless dialog beside the main window in which
/// the user types new entries. Each "データ追加" files one entry in the phone book
/// and lists it at the top of the result list. At most one is open; it deletes
/// itself once its window is gone.
class CDataEntryDlg : public CDialog, public EntrySource {
    Q_OBJECT
public:
    /// Empties the view's result list: while the dialog is open it shows the new entries.
    /// `pView` outlives the dialog.
    explicit CDataEntryDlg(const EntryTarget* pView);

    std::optional<PhoneRecord> TakeNewestEntry() override;

    /// "データ追加": checks the romaji name and adds the entry in the boxes.
    void OnAddData();
    /// "クリアー": empties the four boxes.
    void OnClear();

protected:
    void DoDataExchange(CDataExchange& dx) override;
    /// OK, Enter in a one-line box, Escape and the close box all close the dialog
    /// without adding what stands in the boxes.
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;

private:
    void Close();

    // The entries added here that the view has not filed yet, newest first: the view
    // takes each while the dialog inserts its row.
    std::deque<PhoneRecord> m_listAdded;
    std::string m_strKanji;
    std::string m_strMemo;
    std::string m_strPhone;
    std::string m_strRomaji;
    const EntryTarget* m_pView;
};
