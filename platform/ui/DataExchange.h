#pragma once
// Data exchange between a dialog's members and its controls.

#include <stdexcept>
#include <string>

class QWidget;

/// Thrown when a control's value is refused; the user has been told why.
class CUserException : public std::exception {
public:
    const char* what() const noexcept override { return "data exchange failed"; }
};

class CDataExchange {
public:
    CDataExchange(QWidget* pDlgWnd, bool bSaveAndValidate) : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    /// Puts the focus on the control at fault and ends the exchange.
    [[noreturn]] void Fail(QWidget* pControl);

    QWidget* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: controls -> members
};

/// Text of an edit box as code page 932 bytes. Text the code page cannot hold is
/// refused with a message that names the characters.
void DDX_Text(CDataExchange& dx, int nIDC, std::string& value);

/// Runs DoDataExchange-style code; false when a control was refused.
template <class F> bool UpdateData(QWidget* pDlgWnd, bool bSaveAndValidate, F&& exchange) {
    CDataExchange dx(pDlgWnd, bSaveAndValidate);
    try {
        exchange(dx);
    } catch (const CUserException&) {
        return false;
    }
    return true;
}
