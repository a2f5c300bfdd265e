#pragma once
// Menu 128 and accelerator table 128 of the main frame.

#include "platform/ui/FrameWnd.h"

#include <span>

std::span<const MenuTemplate> MainMenu();
std::span<const AccelTemplate> MainAccelerators();
