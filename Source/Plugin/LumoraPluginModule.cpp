// Module start and release. Both are called by the host: nothing thrown
// inside may reach it.
#include "Plugin/LumoraPluginModule.h"

#include "DuiLib/BoundaryGuard.h"
#include "Plugin/PluginEntry.h"
#include "Plugin/ToolkitSetup.h"
#include "Utils/LanguageStrings.h"
#include "Utils/log.h"

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
