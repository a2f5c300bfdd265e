#include "DataModifyDlg.h"

#include "RomajiWarnDlg.h"

#include "platform/ui/DataExchange.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

#include <QLineEdit>

CDataModifyDlg::CDataModifyDlg(QWidget* pParent) : CDialog(DataModifyTemplate(), pParent) {}

void CDataModifyDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, IDC_MODIFY_ROMAJI, m_strRomaji);
    DDX_Text(dx, IDC_MODIFY_PHONE, m_strPhone);
    DDX_Text(dx, IDC_MODIFY_KANJI, m_strKanji);
    DDX_Text(dx, IDC_MODIFY_MEMO, m_strMemo);
}

void CDataModifyDlg::OnOK() {
    // The box itself, not the member: the exchange fills the members only after the check.
    if (!CheckRomajiName(GetDlgItem<QLineEdit>(this, IDC_MODIFY_ROMAJI)->text()))
        return;
    CDialog::OnOK();
}
