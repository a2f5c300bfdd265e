#include "EntryActions.h"

#include "EntryHistory.h"

#include "data/MarloDoc.h"
#include "dialogs/DataModifyDlg.h"
#include "dialogs/DataViewDlg.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/MessageBox.h"
#include "res/Resource.h"

#include <QApplication>

PhoneRecord ReadRow(const CListCtrl& list, int nItem) {
    return PhoneRecord{list.GetItemText(nItem, 0), list.GetItemText(nItem, 1), list.GetItemText(nItem, 2),
                       list.GetItemText(nItem, 3)};
}

namespace {

// The display and the modify dialog carry the same four members.
template <class Dlg> void PutTexts(Dlg& dlg, const PhoneRecord& texts) {
    dlg.m_strRomaji = texts.m_strRomaji;
    dlg.m_strKanji = texts.m_strKanji;
    dlg.m_strPhone = texts.m_strPhone;
    dlg.m_strMemo = texts.m_strMemo;
}

} // namespace

void DisplayEntry(const CListCtrl& list) {
    const int nItem = list.GetSelectionMark();
    if (nItem < 0)
        return;
    CDataViewDlg dlg;
    PutTexts(dlg, ReadRow(list, nItem));
    dlg.DoModal(); // whatever was typed is dropped
}

void ModifyEntry(EntryHistory& history, CListCtrl& list) {
    const int nItem = list.GetSelectionMark();
    if (nItem < 0)
        return;
    const PhoneRecord key = ReadRow(list, nItem);
    CDataModifyDlg dlg;
    PutTexts(dlg, key);
    if (dlg.DoModal() != IDOK)
        return;
    if (!ReplaceRowEntry(history, list, nItem, key,
                         PhoneRecord{dlg.m_strRomaji, dlg.m_strKanji, dlg.m_strPhone, dlg.m_strMemo})) {
        // The row outlived its record (another phone book was opened since, or the
        // entry was changed through another row): say so rather than drop the edit silently.
        AfxMessageBox(QApplication::activeWindow(),
                      QStringLiteral("この行のデータは電話帳にありません。変更は反映されませんでした。"));
    }
}

bool ReplaceRowEntry(EntryHistory& history, CListCtrl& list, int nItem, const PhoneRecord& key,
                     const PhoneRecord& texts) {
    const std::optional<std::size_t> found = history.Doc().FindEntry(key);
    if (!found)
        return false;
    history.Replace(*found, texts);
    // The row keeps its place, whatever the new name's place in the phone book.
    list.SetItemText(nItem, 0, texts.m_strRomaji);
    list.SetItemText(nItem, 1, texts.m_strKanji);
    list.SetItemText(nItem, 2, texts.m_strPhone);
    list.SetItemText(nItem, 3, texts.m_strMemo);
    return true;
}

void DeleteEntry(EntryHistory& history, CListCtrl& list) {
    const int nItem = list.GetSelectionMark();
    if (nItem < 0)
        return;
    // A row whose record is gone still leaves the list; the phone book, unchanged,
    // stays as modified or unmodified as it was.
    if (const std::optional<std::size_t> found = history.Doc().FindEntry(ReadRow(list, nItem)))
        history.Remove(*found);
    list.DeleteItem(nItem);
}
