// What the exported entry points do, callable by name from tests and from the
// host's in-process harness.
#pragma once

#include <cstddef>

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
// The newest module (what GetPluginModule hands out), or null.
CLumoraPluginModule* Module() noexcept;
// Modules alive: one per OnInitPlugins until the plug-in is released.
size_t ModuleCount() noexcept;
// A module's release takes it off the list of live modules.
void ForgetModule(CLumoraPluginModule* module) noexcept;

}  // namespace PluginEntry
