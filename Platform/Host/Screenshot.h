// PNG pictures of windows as they are on the screen, so the product can be
// looked at on a machine without a desktop (Xvfb).
#pragma once

#include <windows.h>

#include <string>

namespace tamu {

// Copies the window's rectangle from the screen (the window must be shown
// and painted) and writes it as PNG.
bool CaptureWindowToPng(HWND window, const std::wstring& path);
// The same for a rectangle of the screen (a window with its pop-ups: a
// dropped list, a tooltip).
bool CaptureScreenToPng(const RECT& rect, const std::wstring& path);

// Every visible top-level window of this process, one PNG each, named by
// window class and position in the z-order; returns how many were written.
int CaptureProcessWindows(const std::wstring& folder, const std::wstring& prefix);

}  // namespace tamu
