// The main window's handle, published once it exists, for windows that talk
// to it without holding the main frame (the absent-key pop-up asks it to
// display a certificate).
#pragma once

#include <windows.h>

void PublishMainFrameWindow(HWND window);
HWND GetPublishedMainFrameWindow();
