#pragma once

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

/// True for a romaji name the phone book takes: spaces, a to z and 0 to 9 only.
/// An empty name passes.
bool IsRomajiName(const QString& text);

/// The check of the entry and the modify dialog: true when `text` passes, else the
/// warning is shown and the caller stops, however the warning was closed.
bool CheckRomajiName(const QString& text);
