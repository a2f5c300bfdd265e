#pragma once

#include "platform/ui/Dialog.h"

/// "Marloのﾊﾞｰｼﾞｮﾝ情報", template 100.
class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    CAboutDlg();
};
