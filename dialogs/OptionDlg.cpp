#include "OptionDlg.h"

#include "platform/ui/DataExchange.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

#include <QCheckBox>
#include <QLineEdit>

COptionDlg::COptionDlg(QWidget* pParent) : CDialog(OptionTemplate(), pParent) {
    // A click, by mouse or by the space key; setting the state from the members is none.
    connect(GetDlgItem<QCheckBox>(this, IDC_OPTION_SHOWALL), &QCheckBox::clicked, this, &COptionDlg::OnShowAllClicked);
}

void COptionDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Check(dx, IDC_OPTION_SHOWALL, m_bShowAll);
    DDX_Text(dx, IDC_OPTION_MAXCOUNT, m_nMaxCount);
    DDV_MinMaxInt(dx, m_nMaxCount, 0, 9999);
}

bool COptionDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_bShowAll == 1)
        GetDlgItem(this, IDC_OPTION_MAXCOUNT)->setEnabled(false);
    return true;
}

void COptionDlg::OnShowAllClicked() {
    auto* edit = GetDlgItem<QLineEdit>(this, IDC_OPTION_MAXCOUNT);
    if (GetDlgItem<QCheckBox>(this, IDC_OPTION_SHOWALL)->isChecked()) {
        edit->setText(QStringLiteral("0"));
        edit->setEnabled(false);
    } else {
        // The number shown before the box was checked does not come back.
        edit->setEnabled(true);
    }
}
