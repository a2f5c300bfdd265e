#include "OptionDlg.h"

#include "platform/ui/DataExchange.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

/// The number box was drawn for a narrower font: in ours the largest number it takes
/// would scroll out of sight. Widen it to show that number whole, and move the label
/// to its right along.
void FitCountBox(QDialog& dlg) {
    auto* edit = GetDlgItem<QLineEdit>(&dlg, IDC_OPTION_MAXCOUNT);
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
    const QMargins margins = edit->textMargins();
    constexpr int kLineEditMargin = 2; // QLineEdit's own space on each side of the text
    const QSize text(edit->fontMetrics().horizontalAdvance(QStringLiteral("9999")) + 2 * kLineEditMargin +
                         margins.left() + margins.right() + 1, // the cursor after the last digit
                     edit->height());
    const int grow = edit->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, text, edit).width() - edit->width();
    if (grow <= 0)
        return;
    const QRect before = edit->geometry();
    edit->resize(before.width() + grow, before.height());
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        const QRect r = label->geometry();
        if (r.left() <= before.right() || r.top() > before.bottom() || r.bottom() < before.top())
            continue;
        label->move(r.x() + grow, r.y());
        // The dialog keeps the margin it had on the left.
        dlg.setFixedWidth(std::max(dlg.width(), label->geometry().right() + 1 + before.x()));
    }
}

} // namespace

COptionDlg::COptionDlg(QWidget* pParent) : CDialog(OptionTemplate(), pParent) {
    FitCountBox(*this);
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
