#include "DataExchange.h"

#include "DialogTemplate.h"
#include "MessageBox.h"
#include "platform/Cp932.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVariant>

namespace {

// What an edit box was given by the last exchange to the controls: the bytes, and
// its text right after (the widget's own form of them, e.g. a lone CR as a line break).
constexpr const char* kGivenBytes = "marloDdxBytes";
constexpr const char* kGivenText = "marloDdxText";

QString TextOf(const QLineEdit* pEdit, const QPlainTextEdit* pMemo) {
    return pEdit ? pEdit->text() : pMemo->toPlainText();
}

QString NotANumberMessage() {
    return QStringLiteral("整数を入力してください。");
}

} // namespace

QWidget* CDataExchange::PrepareCtrl(int nIDC) {
    if (m_bParseFailed)
        Fail(NotANumberMessage());
    m_pLastControl = GetDlgItem(m_pDlgWnd, nIDC);
    return m_pLastControl;
}

void CDataExchange::Fail(const QString& message) {
    m_bParseFailed = false;
    AfxMessageBox(m_pDlgWnd, message);
    if (m_pLastControl) {
        m_pLastControl->setFocus();
        if (auto* pEdit = qobject_cast<QLineEdit*>(m_pLastControl))
            pEdit->selectAll();
    }
    throw CUserException();
}

void CDataExchange::Finish() {
    if (m_bParseFailed)
        Fail(NotANumberMessage());
}

void CDataExchange::Rollback() {
    for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it)
        (*it)();
    m_undo.clear();
}

void DDX_Text(CDataExchange& dx, int nIDC, QString& value) {
    auto* pEdit = qobject_cast<QLineEdit*>(dx.PrepareCtrl(nIDC));
    if (!pEdit)
        return;
    if (dx.m_bSaveAndValidate)
        dx.Store(value, pEdit->text());
    else
        pEdit->setText(value);
}

void DDX_Text(CDataExchange& dx, int nIDC, std::string& value) {
    QWidget* pControl = dx.PrepareCtrl(nIDC);
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
        pControl->setProperty(kGivenBytes, QByteArray(value.data(), static_cast<qsizetype>(value.size())));
        pControl->setProperty(kGivenText, TextOf(pEdit, pMemo));
        return;
    }
    QString text = TextOf(pEdit, pMemo);
    const QVariant given = pControl->property(kGivenBytes);
    if (given.isValid() && text == pControl->property(kGivenText).toString()) {
        const QByteArray bytes = given.toByteArray();
        dx.Store(value, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
        return;
    }
    if (pMemo)
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    Cp932Encoded encoded = UnicodeToCp932(text);
    if (!encoded.ok())
        dx.Fail(QStringLiteral("次の文字は使えません: %1").arg(NameUnconvertible(encoded.unconvertible)));
    dx.Store(value, std::move(encoded.bytes));
}

void DDX_Text(CDataExchange& dx, int nIDC, int& value) {
    auto* pEdit = qobject_cast<QLineEdit*>(dx.PrepareCtrl(nIDC));
    if (!pEdit)
        return;
    if (!dx.m_bSaveAndValidate) {
        pEdit->setText(QString::number(value));
        return;
    }
    bool bOk = false;
    const int parsed = pEdit->text().trimmed().toInt(&bOk, 10);
    if (!bOk) {
        dx.FailParse();
        return;
    }
    dx.Store(value, parsed);
}

void DDX_Check(CDataExchange& dx, int nIDC, int& value) {
    auto* pButton = qobject_cast<QAbstractButton*>(dx.PrepareCtrl(nIDC));
    if (!pButton)
        return;
    if (!dx.m_bSaveAndValidate)
        pButton->setChecked(value != 0);
    else
        dx.Store(value, pButton->isChecked() ? 1 : 0);
}

void DDV_MinMaxInt(CDataExchange& dx, int value, int minVal, int maxVal) {
    if (!dx.m_bSaveAndValidate)
        return;
    if (dx.ParseFailed() || value < minVal || value > maxVal)
        dx.Fail(QStringLiteral("%1 から %2 までの整数を入力してください。").arg(minVal).arg(maxVal));
}

bool UpdateData(QWidget* pDlgWnd, bool bSaveAndValidate, const std::function<void(CDataExchange&)>& exchange) {
    CDataExchange dx(pDlgWnd, bSaveAndValidate);
    try {
        exchange(dx);
        dx.Finish();
    } catch (const CUserException&) {
        dx.Rollback();
        return false;
    }
    return true;
}
