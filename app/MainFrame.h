#pragma once

#include "platform/ui/FrameWnd.h"

/// The main window: menu, accelerators and icon 128; no tool bar, no status bar.
class CMainFrame : public CFrameWnd {
    Q_OBJECT
public:
    CMainFrame();
};
