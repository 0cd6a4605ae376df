// Message-service round trips: service object, manager, one call, release.
#include "Plugin/HostMessaging.h"

#include "Plugin/HostInterfaces.h"
#include "Plugin/PluginEntry.h"
#include "Utils/log.h"

namespace {

IMessageEventManager* AcquireManager(bool logMissing = true)
{
    IPluginHost* host = PluginEntry::Host();
    IPluginObject* object = nullptr;
    if (host) host->QueryPluginObject(HostGuids::MessageService, &object);
    if (!object) {
        if (logMissing) LogWrite(4, "IPluginObject is null when register message", __LINE__);
        return nullptr;
    }
    IMessageEventManager* manager = static_cast<IMessageService*>(object)->GetMessageEventManager();
    if (!manager) {
        if (logMissing) LogWrite(4, "IMessageEventManager Object is null when register message", __LINE__);
        return nullptr;
    }
    return manager;
}

}  // namespace

void BroadcastHostMessage(UINT number)
{
    IMessageEventManager* manager = AcquireManager();
    if (!manager) return;
    manager->BroadcastMessage(number, 0, 0);
    manager->Release();
}

bool RegisterHostMessage(HWND window, UINT number)
{
    IMessageEventManager* manager = AcquireManager();
    if (!manager) return false;
    manager->RegisterMessage(window, number);
    manager->Release();
    return true;
}

bool TryBroadcastHostMessage(UINT number, const std::function<void()>& beforeSend)
{
    IMessageEventManager* manager = AcquireManager(false);
    if (!manager) return false;
    if (beforeSend) beforeSend();
    manager->BroadcastMessage(number, 0, 0);
    manager->Release();
    return true;
}

bool IsHostPluginInstalled(const wchar_t* pluginId)
{
    IPluginHost* host = PluginEntry::Host();
    if (!host || !pluginId) return false;
    BSTR id = SysAllocString(pluginId);
    if (!id) return false;
    BSTR state = host->GetPluginState(id, 1);
    const bool installed = state && _wcsicmp(state, L"Install") == 0;
    SysFreeString(state);
    SysFreeString(id);
    return installed;
}
