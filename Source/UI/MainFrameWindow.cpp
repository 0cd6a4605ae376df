// The published main-window handle; see MainFrameWindow.h.
#include "UI/MainFrameWindow.h"

#include <atomic>

namespace {

std::atomic<HWND> g_mainFrameWindow{nullptr};

}  // namespace

void PublishMainFrameWindow(HWND window)
{
    g_mainFrameWindow.store(window);
}

HWND GetPublishedMainFrameWindow()
{
    return g_mainFrameWindow.load();
}
