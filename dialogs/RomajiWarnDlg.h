#pragma once

#include "interop/Romaji.h" // IsRomajiName
#include "platform/ui/Dialog.h"

#include <QString>

/// The romaji warning, template 136: "ﾛｰﾏ字名には、半角の英数字を入力してください".
/// Made without a parent, so that the window the user works in (the entry or the
/// modify dialog) owns it.
class CRomajiWarnDlg : public CDialog {
    Q_OBJECT
public:
    CRomajiWarnDlg();
};

/// The check of the entry and the modify dialog: true when `text` passes, else the
/// warning is shown and the caller stops, however the warning was closed.
bool CheckRomajiName(const QString& text);
