// Shared set-up of the plug-in's window tests; see ProductUi.h.
#include "ProductUi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AccessibleWalker.h"
#include "DuiLib/DuiLib.h"
#include "Plugin/ToolkitSetup.h"
#include "TestSupport.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

namespace productui {

ProductUi::ProductUi(int languageId) : m_oldSkinPath_(DuiLib::CPaintManagerUI::GetResourcePath())
{
    UserSettings::Instance().ResetForTesting();
    for (int id : {2052, 1033}) m_sandbox_.InstallLanguageFile(id);
    LoadLanguageFileFor(languageId);
    ApplyToolkitLanguage();
    DuiLib::CPaintManagerUI::SetResourcePath(testsupport::SourceDir() + L"\\skin");
}

ProductUi::~ProductUi()
{
    DuiLib::CPaintManagerUI::SetResourcePath(m_oldSkinPath_);
    UnloadLanguageStrings();
    UserSettings::Instance().ResetForTesting();
}

std::string ProductUi::ReadUserIni() const
{
    std::string bytes;
    testsupport::ReadFileBytes(m_sandbox_.UserIniPath(), bytes);
    return bytes;
}

void ExpectReadableAtBothScales(HWND window, DuiLib::CPaintManagerUI& pm)
{
    accwalk::ComScope com;
    RECT original;
    ::GetWindowRect(window, &original);
    const int dpiBefore = pm.GetDPI();
    for (int dpi : {96, 144}) {
        SCOPED_TRACE(testing::Message() << "dpi " << dpi);
        pm.SetDPI(dpi);
        const SIZE size = pm.GetInitSize();
        if (size.cx > 0 && size.cy > 0)
            ::SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        pm.UpdateLayout();
        accwalk::Tree tree(window);
        ASSERT_TRUE(tree.ok()) << "no accessible object";
        EXPECT_GT(tree.Nodes().size(), 1u);
        for (const std::string& problem : accwalk::Unreadable(tree, window)) ADD_FAILURE() << problem;
    }
    pm.SetDPI(dpiBefore);
    ::SetWindowPos(window, nullptr, 0, 0, original.right - original.left, original.bottom - original.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    pm.UpdateLayout();
}

void ClickCentre(HWND window)
{
    RECT rc;
    ::GetClientRect(window, &rc);
    LPARAM at = MAKELPARAM(rc.right / 2, rc.bottom / 2);
    ::SendMessageW(window, WM_MOUSEMOVE, 0, at);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(window, WM_LBUTTONUP, 0, at);
}

bool HeapsHold(const void* bytes, size_t size)
{
    std::vector<HANDLE> heaps(256);
    DWORD count = ::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    heaps.resize(count < heaps.size() ? count : heaps.size());
    bool found = false;
    for (HANDLE heap : heaps) {
        if (!::HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (!found && ::HeapWalk(heap, &entry)) {
            if (!(entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) || entry.cbData < size) continue;
            const char* data = static_cast<const char*>(entry.lpData);
            for (size_t i = 0; i + size <= entry.cbData; ++i) {
                if (std::memcmp(data + i, bytes, size) == 0) {
                    found = true;
                    break;
                }
            }
        }
        ::HeapUnlock(heap);
        if (found) break;
    }
    return found;
}

}  // namespace productui
