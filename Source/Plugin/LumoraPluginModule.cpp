// Module start and release. Both are called by the host: nothing thrown
// inside may reach it.
#include "Plugin/LumoraPluginModule.h"

#include "DuiLib/BoundaryGuard.h"
#include "DuiLib/UIManager.h"
#include "Plugin/PluginEntry.h"
#include "Plugin/ToolkitSetup.h"
#include "Utils/LanguageStrings.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"
#include "Utils/log.h"

namespace {

const char kModuleSource[] = "..\\Source\\Plugin\\LumoraPluginModule";

// Which skin, language file and settings files this start found: what an
// administrator checks first when an installation does not behave.
void LogConfigurationSources()
{
    auto log = [](const std::wstring& text, int line) {
        LogWrite(2, WideToAnsi(text).c_str(), line, kModuleSource);
    };
    log(L"skin folder " + DuiLib::CPaintManagerUI::GetResourcePath(), __LINE__);
    const std::wstring language = LoadedLanguageFile();
    log(language.empty() ? L"language file: none loaded, built-in texts" : L"language file " + language,
        __LINE__);
    const std::wstring installation = UserSettings::InstallationSettingsPath();
    for (const std::wstring& file : UserSettings::Instance().FilesRead())
        log((file == installation ? L"installation-wide settings " : L"user settings ") + file, __LINE__);
}

}  // namespace

CLumoraPluginModule::CLumoraPluginModule(IPluginHost* host, HINSTANCE instance)
    : m_host_(host), m_view_(instance), m_name_(SysAllocString(L""))
{
}

CLumoraPluginModule::~CLumoraPluginModule()
{
    m_view_.Teardown();
    SysFreeString(m_name_);
}

long CLumoraPluginModule::Initialize()
{
    return DuiLib::GuardBoundary("CLumoraPluginModule::Initialize", 0L, [this] {
        LoadLanguageFile();
        ApplyToolkitLanguage();
        InitLogger();
        ConfigureLogger();
        LogConfigurationSources();
        // The view's own result is the host's business (it asks the view);
        // a module without a main window still runs.
        (void)m_view_.Create(m_host_);
        return 0L;
    });
}

long CLumoraPluginModule::Release() noexcept
{
    ReleaseLogger();
    m_view_.Teardown();
    PluginEntry::ForgetModule(this);
    delete this;
    return 0;
}
