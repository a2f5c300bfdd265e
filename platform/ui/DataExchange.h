#pragma once
// Data exchange between a dialog's members and its controls.

#include <QString>

#include <exception>
#include <functional>
#include <string>
#include <vector>

class QWidget;

/// Thrown when a control's value is refused; the user has been told why.
class CUserException : public std::exception {
public:
    const char* what() const noexcept override { return "data exchange failed"; }
};

/// One run of a dialog's DoDataExchange. On the way back (controls -> members)
/// it keeps what it stored, so that a refusal further on can put every member back.
class CDataExchange {
public:
    CDataExchange(QWidget* pDlgWnd, bool bSaveAndValidate) : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}

    /// The control `nIDC`, from now on the one a DDV_ check refers to. A number the
    /// previous control could not parse, and no range check reported, is reported first.
    QWidget* PrepareCtrl(int nIDC);
    /// Shows `message`, puts the focus in the last control and ends the exchange.
    [[noreturn]] void Fail(const QString& message);
    /// The last control's text is not a whole number. Reported by a range check on
    /// its value, which names the range, or else by the next control or the end.
    void FailParse() { m_bParseFailed = true; }
    bool ParseFailed() const { return m_bParseFailed; }
    /// Stores `value` in `member`; undone when the exchange fails later.
    template <class T> void Store(T& member, T value) {
        m_undo.push_back([&member, old = member] { member = old; });
        member = std::move(value);
    }
    /// Ends the exchange: reports a parse failure still pending.
    void Finish();
    /// Puts back every member stored so far, newest first.
    void Rollback();

    QWidget* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: controls -> members
    QWidget* m_pLastControl = nullptr;

private:
    bool m_bParseFailed = false;
    std::vector<std::function<void()>> m_undo;
};

/// Text of a one-line or multi-line edit box as code page 932 bytes. The control
/// remembers the bytes it was given: while its text is unchanged they come back
/// exactly, invalid code page 932 included. Changed text is encoded (a memo with
/// CR LF line breaks); text the code page cannot hold is refused, naming the characters.
void DDX_Text(CDataExchange& dx, int nIDC, std::string& value);
/// Text of a one-line edit box as it is, for text that never becomes phone-book bytes
/// (an address, a user name, a password).
void DDX_Text(CDataExchange& dx, int nIDC, QString& value);
/// A number in an edit box, in decimal. Text that is not a whole number in 32-bit
/// range is refused and the member keeps its value.
void DDX_Text(CDataExchange& dx, int nIDC, int& value);
/// A check box's state: 1 checked, 0 not.
void DDX_Check(CDataExchange& dx, int nIDC, int& value);
/// On the way back, refuses a value outside [minVal, maxVal], and text of the last
/// control that was not a number, naming the range.
void DDV_MinMaxInt(CDataExchange& dx, int value, int minVal, int maxVal);

/// Runs DoDataExchange-style code; false when a control was refused, and then no
/// member has changed.
bool UpdateData(QWidget* pDlgWnd, bool bSaveAndValidate, const std::function<void(CDataExchange&)>& exchange);
