// Toolkit preparation at start-up and release at teardown.
#include "Plugin/ToolkitSetup.h"

#include <vector>

#include "DuiLib/UIAccessible.h"
#include "DuiLib/UIManager.h"
#include "Framework/Wnd.h"
#include "Utils/LanguageStrings.h"

std::wstring SkinFolderForModule(HINSTANCE instance)
{
    // Long installation paths exist; grow the buffer until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(instance, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    std::wstring path(buffer.data(), length);
    const size_t slash = path.find_last_of(L'\\');
    path = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    return path + L"LumoraPlugin\\skin\\";
}

void PrepareToolkit(HINSTANCE instance)
{
    DuiLib::CPaintManagerUI::SetInstance(instance);
    DuiLib::CPaintManagerUI::SetResourceType(DuiLib::UILIB_FILE);
    DuiLib::CPaintManagerUI::SetResourcePath(SkinFolderForModule(instance));
    // The main window and the settings page are child windows: without it
    // they would follow a high-contrast switch only while a pop-up exists.
    DuiLib::CPaintManagerUI::ListenForSystemChanges();
}

void ApplyToolkitLanguage()
{
    DuiLib::AccessibleActionTexts texts;
    texts.press = GetLanguageString("STRING_ACC_ACTION_PRESS");
    texts.check = GetLanguageString("STRING_ACC_ACTION_CHECK");
    texts.uncheck = GetLanguageString("STRING_ACC_ACTION_UNCHECK");
    texts.select = GetLanguageString("STRING_ACC_ACTION_SELECT");
    texts.open = GetLanguageString("STRING_ACC_ACTION_OPEN");
    DuiLib::SetAccessibleActionTexts(texts);
}

void ReleaseToolkit()
{
    // The control-class registry and the image cache are made on first use
    // and would otherwise outlive the plug-in in the host's process.
    DuiLib::CPaintManagerUI::StopListeningForSystemChanges();
    DuiLib::CPaintManagerUI::ReleaseSharedResources();
    Framework::ReleaseHooks();
}
