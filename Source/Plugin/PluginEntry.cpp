// Start-up and teardown of the plug-in inside its host. Every entry runs its
// body through the boundary guard: whatever is thrown inside is logged and
// the host gets the entry's documented result.
#include "Plugin/PluginEntry.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "Cert/DeviceRecord.h"
#include "DuiLib/BoundaryGuard.h"
#include "Framework/Wnd.h"
#include "Plugin/ConfigModule.h"
#include "Plugin/LumoraPluginModule.h"
#include "Plugin/ToolkitSetup.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"
#include "Utils/log.h"

namespace {
IPluginHost* g_host = nullptr;
// Every module handed to the host, the newest last. A host that starts us
// again gets a new module; the earlier ones stay valid for as long as it may
// hold them, and all are released with the plug-in.
std::vector<CLumoraPluginModule*> g_modules;
IApplicationConfigModule* g_configModule = nullptr;
HINSTANCE g_instance = nullptr;
}  // namespace

namespace PluginEntry {

int OnInitPlugins(IPluginHost* host) noexcept
{
    return DuiLib::GuardBoundary("OnInitPlugins", 0, [host] {
        // Called from a foreign host: our windows must be made with our module.
        Framework::ScopedModuleState moduleState(ModuleInstance());
        DuiLib::SetBoundaryReporter(&LogBoundaryException);
        PrepareToolkit(ModuleInstance());
        UserSettings::Instance().Load();
        g_host = host;

        g_modules.reserve(g_modules.size() + 1);  // so remembering it cannot fail
        CLumoraPluginModule* module = new (std::nothrow) CLumoraPluginModule(host, ModuleInstance());
        if (module) {
            g_modules.push_back(module);
            module->Initialize();
        }
        return 0;
    });
}

int GetPluginModule(IPluginModule** out) noexcept
{
    return DuiLib::GuardBoundary("GetPluginModule", 0, [out] {
        if (out) *out = Module();
        return 0;
    });
}

IApplicationConfigModule* OnInitPluginConfigModule() noexcept
{
    // Each call gives a new page object; the host releases it. We only
    // remember the last one and never reach through it: it may be gone.
    return DuiLib::GuardBoundary("OnInitPluginConfigModule", static_cast<IApplicationConfigModule*>(nullptr), [] {
        g_configModule = new (std::nothrow) CConfigModule();
        return static_cast<IApplicationConfigModule*>(g_configModule);
    });
}

int OnReleasePlugins() noexcept
{
    return DuiLib::GuardBoundary("OnReleasePlugins", 0, [] {
        Framework::ScopedModuleState moduleState(ModuleInstance());
        // Each module's release forgets it here (ForgetModule).
        while (!g_modules.empty()) g_modules.back()->Release();
        CLumoraPluginView::ReleaseSharedEmptyString();
        // What the modules leave behind is process-wide: the device records
        // and their PKI handles, the language handle, the log library, the
        // toolkit's caches and the framework's hooks. All of it goes now,
        // while the libraries are still loaded, not at DLL detach.
        DeviceRecordList::Instance().Clear();
        UnloadLanguageStrings();
        UnloadLogger();
        ReleaseToolkit();
        DuiLib::SetBoundaryReporter(nullptr);
        // The host may go away after this call; nothing of ours may still
        // reach for it.
        g_host = nullptr;
        return 0;
    });
}

void ForgetModule(CLumoraPluginModule* module) noexcept
{
    g_modules.erase(std::remove(g_modules.begin(), g_modules.end(), module), g_modules.end());
}

void SetModuleInstance(HINSTANCE instance) noexcept { g_instance = instance; }

HINSTANCE ModuleInstance() noexcept
{
    // Linked into a test program rather than loaded as the DLL, the code's
    // own module is the program.
    return g_instance ? g_instance : GetModuleHandleW(nullptr);
}

IPluginHost* Host() noexcept { return g_host; }

CLumoraPluginModule* Module() noexcept { return g_modules.empty() ? nullptr : g_modules.back(); }

size_t ModuleCount() noexcept { return g_modules.size(); }

}  // namespace PluginEntry
