// What the exported entry points do, callable by name from tests and from the
// host's in-process harness.
#pragma once

#include "Plugin/HostInterfaces.h"

class CLumoraPluginModule;

namespace PluginEntry {

int OnInitPlugins(IPluginHost* host) noexcept;
int GetPluginModule(IPluginModule** out) noexcept;
IApplicationConfigModule* OnInitPluginConfigModule() noexcept;
int OnReleasePlugins() noexcept;

void SetModuleInstance(HINSTANCE instance) noexcept;
HINSTANCE ModuleInstance() noexcept;
IPluginHost* Host() noexcept;
CLumoraPluginModule* Module() noexcept;

}  // namespace PluginEntry
