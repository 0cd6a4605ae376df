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
#include "DuiLib/ModalLoop.h"
#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIManager.h"
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

// A release that came from inside frames of ours is finished once they
// have returned (DuiLib/ModalLoop.h); meanwhile the library keeps itself
// loaded.
bool g_releasePending = false;

// The modules of a release left pending, no longer the host's.
std::vector<CLumoraPluginModule*> g_releasedModules;

void ReleaseModules(std::vector<CLumoraPluginModule*>& modules)
{
    while (!modules.empty()) {
        CLumoraPluginModule* module = modules.back();
        modules.pop_back();
        module->Release();
    }
}

void ReleaseProcessWide()
{
    CLumoraPluginView::ReleaseSharedEmptyString();
    // What the modules leave behind is process-wide: the device records
    // and their PKI handles, the language handle, the log library, the
    // toolkit's caches and the framework's hooks. All of it goes now,
    // while the libraries are still loaded, not at DLL detach.
    DeviceRecordList::Instance().Clear();
    UnloadLanguageStrings();
    UnloadLogger();
    ReleaseToolkit();
    DuiLib::CDialogBuilder::SetFailureReporter(nullptr);
    DuiLib::SetBoundaryReporter(nullptr);
}

void ReleaseEverything()
{
    ReleaseModules(g_modules);
    ReleaseProcessWide();
}

void FinishPendingRelease()
{
    if (!g_releasePending) return;
    g_releasePending = false;
    Framework::ScopedModuleState moduleState(PluginEntry::ModuleInstance());
    ReleaseModules(g_releasedModules);
    // Started again from inside the loop: what is process-wide is the new
    // start's now.
    if (g_modules.empty()) ReleaseProcessWide();
}

// The host released us from inside frames of ours (a modal call, a menu or
// move loop of one of our windows, the host's own loop under our window
// procedure) and will unload the library before they return into it. The
// windows close now (the loops end, typed PINs are wiped with their edits);
// the objects those frames still use are freed once they have returned.
void DeferReleaseUntilEntriesReturn()
{
    DuiLib::KeepLoadedWhileInUse();
    DuiLib::EndModalLoops(PluginEntry::ModuleInstance());
    DuiLib::CPaintManagerUI::DestroyAllWindows();
    g_releasedModules.insert(g_releasedModules.end(), g_modules.begin(), g_modules.end());
    g_modules.clear();
    g_releasePending = true;
    DuiLib::DeferUntilEntriesReturn(&FinishPendingRelease);
}
}  // namespace

namespace PluginEntry {

int OnInitPlugins(IPluginHost* host) noexcept
{
    return DuiLib::GuardBoundary("OnInitPlugins", 0, [host] {
        // Called from a foreign host: our windows must be made with our module.
        // A release left pending by frames of ours ends before anything
        // starts again, unless those frames are still below this call.
        DuiLib::FinishDeferredIfUnwound();
        Framework::ScopedModuleState moduleState(ModuleInstance());
        DuiLib::SetBoundaryReporter(&LogBoundaryException);
        DuiLib::CDialogBuilder::SetFailureReporter(&LogSkinFailure);
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
        // The host may go away after this call; nothing of ours may still
        // reach for it.
        g_host = nullptr;
        // Anything of ours below this call is the host dispatching inside
        // our code.
        if (DuiLib::OursBelowCaller()) {
            DeferReleaseUntilEntriesReturn();
            return 0;
        }
        // Menus and pop-ups close before their objects go.
        DuiLib::CPaintManagerUI::DestroyAllWindows();
        ReleaseEverything();
        // A client in this process may still hold one of our accessible
        // objects: the library stays until its last Release.
        if (DuiLib::LibraryHolds() > 0) DuiLib::KeepLoadedWhileInUse();
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
