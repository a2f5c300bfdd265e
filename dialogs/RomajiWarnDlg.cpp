#include "RomajiWarnDlg.h"

#include "res/Dialogs.h"


CRomajiWarnDlg::CRomajiWarnDlg() : CDialog(RomajiWarnTemplate()) {}

bool CheckRomajiName(const QString& text) {
    if (IsRomajiName(text))
        return true;
    // A warning closed without OK stops as well: going on would file the very
    // name the check just refused.
    CRomajiWarnDlg warning;
    warning.DoModal();
    return false;
}
