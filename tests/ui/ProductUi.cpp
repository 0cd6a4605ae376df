// Shared set-up of the plug-in's window tests; see ProductUi.h.
#include "ProductUi.h"

#include <cstring>
#include <vector>

#include "DuiLib/DuiLib.h"
#include "TestSupport.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

namespace productui {

ProductUi::ProductUi(int languageId) : m_oldSkinPath_(DuiLib::CPaintManagerUI::GetResourcePath())
{
    UserSettings::Instance().ResetForTesting();
    for (int id : {2052, 1033}) m_sandbox_.InstallLanguageFile(id);
    LoadLanguageFileFor(languageId);
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
