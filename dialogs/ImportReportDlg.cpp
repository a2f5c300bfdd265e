#include "ImportReportDlg.h"

#include "res/Dialogs.h"
#include "res/Resource.h"

#include <QLabel>
#include <QPlainTextEdit>

CImportReportDlg::CImportReportDlg(QWidget* pParent, const DialogTemplate& tpl) : CDialog(tpl, pParent) {}

bool CImportReportDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (auto* summary = GetDlgItem<QLabel>(this, IDC_IMPORT_SUMMARY)) {
        summary->setText(m_strSummary);
        summary->setWordWrap(true);
    }
    if (auto* details = GetDlgItem<QPlainTextEdit>(this, IDC_IMPORT_DETAILS)) {
        details->setPlainText(m_strDetails.isEmpty() ? QStringLiteral("すべての連絡先をそのまま取り込みました。")
                                                     : m_strDetails);
        details->setReadOnly(true);
        // A long report scrolls.
        details->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        details->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    return true;
}
