// Start-up and teardown of the plug-in inside its host.
#include "Plugin/PluginEntry.h"

#include <new>
#include <string>

#include "Framework/Wnd.h"
#include "Plugin/ConfigModule.h"
#include "Plugin/LumoraPluginModule.h"
#include "Plugin/ToolkitSetup.h"
#include "Utils/UserSettings.h"

namespace {
IPluginHost* g_host = nullptr;
CLumoraPluginModule* g_module = nullptr;
IApplicationConfigModule* g_configModule = nullptr;
HINSTANCE g_instance = nullptr;
}  // namespace

namespace PluginEntry {

int OnInitPlugins(IPluginHost* host) noexcept
{
    // Called from a foreign host: our windows must be made with our module.
    Framework::ScopedModuleState moduleState(ModuleInstance());
    PrepareToolkit(ModuleInstance());
    UserSettings::Instance().Load();
    g_host = host;

    // A host that starts us twice must not leak the first module and its window.
    if (g_module) {
        g_module->Release();
        g_module = nullptr;
    }
    CLumoraPluginModule* module = new (std::nothrow) CLumoraPluginModule(host, ModuleInstance());
    g_module = module;
    if (module) module->Initialize();
    return 0;
}

int GetPluginModule(IPluginModule** out) noexcept
{
    if (out) *out = g_module;
    return 0;
}

IApplicationConfigModule* OnInitPluginConfigModule() noexcept
{
    // Each call gives a new page object; the host releases it. We only
    // remember the last one and never reach through it: it may be gone.
    g_configModule = new (std::nothrow) CConfigModule();
    return g_configModule;
}

int OnReleasePlugins() noexcept
{
    Framework::ScopedModuleState moduleState(ModuleInstance());
    if (g_module) {
        g_module->Release();
        g_module = nullptr;
    }
    CLumoraPluginView::ReleaseSharedEmptyString();
    ReleaseToolkit();
    // The host may go away after this call; nothing of ours may still
    // reach for it.
    g_host = nullptr;
    return 0;
}

void SetModuleInstance(HINSTANCE instance) noexcept { g_instance = instance; }

HINSTANCE ModuleInstance() noexcept
{
    // Linked into a test program rather than loaded as the DLL, the code's
    // own module is the program.
    return g_instance ? g_instance : GetModuleHandleW(nullptr);
}

IPluginHost* Host() noexcept { return g_host; }

CLumoraPluginModule* Module() noexcept { return g_module; }

}  // namespace PluginEntry
