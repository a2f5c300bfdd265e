#include "MainFrame.h"

#include "res/Icons.h"
#include "res/Menus.h"
#include "res/Resource.h"
#include "res/Strings.h"

CMainFrame::CMainFrame() {
    // The template string's first field is the window title.
    const QString title = LoadResString(IDR_MAINFRAME).section(QLatin1Char('\n'), 0, 0);
    LoadFrame(MainMenu(), MainAccelerators(), AppIcon(), title);
}
