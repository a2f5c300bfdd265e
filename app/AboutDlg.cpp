#include "AboutDlg.h"

#include "res/Dialogs.h"

CAboutDlg::CAboutDlg() : CDialog(AboutTemplate()) {}
