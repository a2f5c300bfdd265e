#include "DataEntryDlg.h"

#include "RomajiWarnDlg.h"

#include "platform/ui/DataExchange.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

CDataEntryDlg::CDataEntryDlg(const EntryTarget* pView)
    : CDialog(DataEntryTemplate(), pView->m_pWindow), m_pView(pView) {
    connect(GetDlgItem<QPushButton>(this, IDC_ENTRY_ADD), &QPushButton::clicked, this, &CDataEntryDlg::OnAddData);
    connect(GetDlgItem<QPushButton>(this, IDC_ENTRY_CLEAR), &QPushButton::clicked, this, &CDataEntryDlg::OnClear);
    m_pView->m_fnClearRows();
}

void CDataEntryDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, IDC_ENTRY_KANJI, m_strKanji);
    DDX_Text(dx, IDC_ENTRY_MEMO, m_strMemo);
    DDX_Text(dx, IDC_ENTRY_PHONE, m_strPhone);
    DDX_Text(dx, IDC_ENTRY_ROMAJI, m_strRomaji);
}

std::optional<PhoneRecord> CDataEntryDlg::TakeNewestEntry() {
    if (m_listAdded.empty())
        return std::nullopt;
    PhoneRecord newest = std::move(m_listAdded.front());
    m_listAdded.pop_front();
    return newest;
}

void CDataEntryDlg::OnAddData() {
    const QString romaji = GetDlgItem<QLineEdit>(this, IDC_ENTRY_ROMAJI)->text();
    if (romaji.isEmpty() || !CheckRomajiName(romaji))
        return;
    // The boxes as code page 932 bytes; text the code page cannot hold is refused
    // with a message that names it, and nothing is added.
    if (!UpdateData(true))
        return;
    // The row is written from a copy of its own: the view takes the queued entry away
    // while the row is being inserted.
    const PhoneRecord texts{m_strRomaji, m_strKanji, m_strPhone, m_strMemo};
    m_listAdded.push_front(texts);
    m_pView->m_fnAddEntryRow(texts);
}

void CDataEntryDlg::OnClear() {
    GetDlgItem<QLineEdit>(this, IDC_ENTRY_ROMAJI)->clear();
    GetDlgItem<QLineEdit>(this, IDC_ENTRY_KANJI)->clear();
    GetDlgItem<QLineEdit>(this, IDC_ENTRY_PHONE)->clear();
    GetDlgItem<QPlainTextEdit>(this, IDC_ENTRY_MEMO)->clear();
}

void CDataEntryDlg::OnOK() {
    Close();
}

void CDataEntryDlg::OnCancel() {
    Close();
}

void CDataEntryDlg::Close() {
    m_pView->m_fnEntryDlgClosed();
    DestroyWindow();
}

void CDataEntryDlg::PostNcDestroy() {
    deleteLater();
}
