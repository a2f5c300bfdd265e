#include "RomajiWarnDlg.h"

#include "res/Dialogs.h"

#include <algorithm>

CRomajiWarnDlg::CRomajiWarnDlg() : CDialog(RomajiWarnTemplate()) {}

// Each allowed character is one byte in code page 932, and every other character
// has a first byte outside the allowed set, so checking characters is checking bytes.
bool IsRomajiName(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u == u' ' || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9');
    });
}

bool CheckRomajiName(const QString& text) {
    if (IsRomajiName(text))
        return true;
    // A warning closed without OK stops as well: going on would file the very
    // name the check just refused.
    CRomajiWarnDlg warning;
    warning.DoModal();
    return false;
}
