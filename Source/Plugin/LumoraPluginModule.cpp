// Module start and release.
#include "Plugin/LumoraPluginModule.h"

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
    LoadLanguageFile();
    InitLogger();
    ConfigureLogger();
    // The view's own result is the host's business (it asks the view);
    // a module without a main window still runs.
    (void)m_view_.Create(m_host_);
    return 0;
}

long CLumoraPluginModule::Release()
{
    ReleaseLogger();
    m_view_.Teardown();
    delete this;
    return 0;
}
