// The four entry points the host calls, pinned by LumoraPlugin.def so their
// names carry no decoration. Nothing may escape them as an exception.
#include "Plugin/LumoraPluginApp.h"
#include "Plugin/PluginEntry.h"

extern "C" {

__declspec(dllexport) int __cdecl OnInitPlugins(IPluginHost* host)
{
    return PluginEntry::OnInitPlugins(host);
}

__declspec(dllexport) int __cdecl GetPluginModule(IPluginModule** out)
{
    return PluginEntry::GetPluginModule(out);
}

__declspec(dllexport) IApplicationConfigModule* __cdecl OnInitPluginConfigModule()
{
    return PluginEntry::OnInitPluginConfigModule();
}

__declspec(dllexport) int __cdecl OnReleasePlugins()
{
    return PluginEntry::OnReleasePlugins();
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        PluginEntry::SetModuleInstance(instance);
        return LumoraPluginApp().InitModule(instance);
    }
    return TRUE;
}
