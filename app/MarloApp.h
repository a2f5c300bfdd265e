#pragma once

#include "platform/ui/WinApp.h"

class CMarloApp : public CWinApp {
public:
    CMarloApp();
    bool InitInstance() override;
    void OnAppAbout();
};
