// Start-up and teardown of the plug-in inside its host.
#include "Plugin/PluginEntry.h"

namespace {
IPluginHost* g_host = nullptr;
IPluginModule* g_module = nullptr;
HINSTANCE g_instance = nullptr;
}  // namespace

namespace PluginEntry {

int OnInitPlugins(IPluginHost* host) noexcept
{
    g_host = host;
    return 0;
}

int GetPluginModule(IPluginModule** out) noexcept
{
    if (out) *out = g_module;
    return 0;
}

IApplicationConfigModule* OnInitPluginConfigModule() noexcept { return nullptr; }

int OnReleasePlugins() noexcept { return 0; }

void SetModuleInstance(HINSTANCE instance) noexcept { g_instance = instance; }
HINSTANCE ModuleInstance() noexcept { return g_instance; }
IPluginHost* Host() noexcept { return g_host; }

}  // namespace PluginEntry
