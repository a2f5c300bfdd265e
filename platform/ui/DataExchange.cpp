#include "DataExchange.h"

#include "DialogTemplate.h"
#include "MessageBox.h"
#include "platform/Cp932.h"

#include <QLineEdit>
#include <QPlainTextEdit>

void CDataExchange::Fail(QWidget* pControl) {
    if (pControl)
        pControl->setFocus();
    throw CUserException();
}

void DDX_Text(CDataExchange& dx, int nIDC, std::string& value) {
    QWidget* pControl = GetDlgItem(dx.m_pDlgWnd, nIDC);
    auto* pEdit = qobject_cast<QLineEdit*>(pControl);
    auto* pMemo = qobject_cast<QPlainTextEdit*>(pControl);
    if (!pEdit && !pMemo)
        return;
    if (!dx.m_bSaveAndValidate) {
        QString text = Cp932ToUnicode(value);
        if (pMemo) {
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            pMemo->setPlainText(text);
        } else {
            pEdit->setText(text);
        }
        return;
    }
    QString text = pEdit ? pEdit->text() : pMemo->toPlainText();
    if (pMemo)
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    Cp932Encoded encoded = UnicodeToCp932(text);
    if (!encoded.ok()) {
        AfxMessageBox(dx.m_pDlgWnd, QStringLiteral("次の文字は使えません: %1").arg(encoded.unconvertible));
        dx.Fail(pControl);
    }
    value = std::move(encoded.bytes);
}
