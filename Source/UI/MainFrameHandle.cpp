// The published main-window handle declared in UIMainFrame.h. It stands here
// only until the main frame's own source (which defines it) is merged; that
// merge deletes this file.
#include "UI/UIMainFrame.h"

HWND g_hMainFrameWnd = nullptr;
