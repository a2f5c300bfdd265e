#pragma once

#include "platform/ui/WinApp.h"

class CMarloApp : public CWinApp {
public:
    CMarloApp();
    bool InitInstance() override;
    /// A sync under way is stopped first, when the user agrees.
    bool SaveAllModified() override;
    void OnAppAbout();
};
