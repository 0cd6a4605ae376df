// Plug-in state look-up; see HostPluginState.h.
#include "Plugin/HostPluginState.h"

#include <windows.h>
#include <oleauto.h>

#include <cwchar>

#include "Plugin/HostInterfaces.h"
#include "DuiLib/ScopedWin.h"
#include "Plugin/PluginEntry.h"

namespace {

// Both the argument and the host's answer are ours to free.
struct BstrTraits {
    using type = BSTR;
    static type None() noexcept { return nullptr; }
    static void Free(type s) noexcept { SysFreeString(s); }
};
using ScopedBstr = DuiLib::UniqueResource<BstrTraits>;

}  // namespace

bool IsHostPluginInstalled(const wchar_t* pluginId)
{
    IPluginHost* host = PluginEntry::Host();
    if (!host) return false;
    ScopedBstr id(SysAllocString(pluginId));
    ScopedBstr state(host->GetPluginState(id.get(), 1));
    return state && _wcsicmp(state.get(), L"Install") == 0;
}
