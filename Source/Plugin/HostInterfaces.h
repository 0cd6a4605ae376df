// The host application's plug-in interfaces, as the plug-in calls them and as
// our substitute host implements them. Slot order is the binary contract with
// the host: never reorder, insert or remove a virtual here. Slots the plug-in
// does not use are kept as named placeholders so later slots keep their
// numbers. No interface declares a virtual destructor before its last slot:
// g++ gives a virtual destructor two slots, which would shift everything after.
#pragma once

#include <windows.h>
#include <oleauto.h>

struct IPluginHost;
struct IPluginView;

// Base of every object the host and the plug-in hand each other.
// Slot 0 initialises the object with the host, slot 1 releases it.
struct IPluginObject {
    virtual long Create(IPluginHost* host) = 0;  // slot 0
    virtual void Release() = 0;                  // slot 1

protected:
    ~IPluginObject() = default;
};

// {58A6AF56-7549-4AA4-AE2F-E448FDD603BC}
struct IPluginViewContainer : IPluginObject {
    virtual HWND GetParentWindow() = 0;          // slot 2
    virtual long AttachView(IPluginView* view) = 0;  // slot 3

protected:
    ~IPluginViewContainer() = default;
};

struct IMessageEventManager {
    virtual long Reserved0() = 0;                                    // slot 0
    virtual void Release() = 0;                                      // slot 1
    virtual long RegisterMessage(HWND window, UINT number) = 0;      // slot 2
    virtual long Reserved3() = 0;                                    // slot 3
    virtual long Reserved4() = 0;                                    // slot 4
    virtual long BroadcastMessage(UINT number, WPARAM wParam, LPARAM lParam) = 0;  // slot 5

protected:
    ~IMessageEventManager() = default;
};

// {2CEB1B47-603F-4A3F-81E4-ACA3949C8DB9}
struct IMessageService : IPluginObject {
    virtual IMessageEventManager* GetMessageEventManager() = 0;  // slot 2

protected:
    ~IMessageService() = default;
};

struct IHostDeviceList {
    virtual long Reserved0() = 0;               // slot 0
    virtual void Release() = 0;                 // slot 1
    virtual long GetDeviceCount() = 0;          // slot 2
    virtual long Reserved3() = 0;               // slot 3
    virtual unsigned long GetDevice(long index) = 0;  // slot 4: PKI device handle or 0

protected:
    ~IHostDeviceList() = default;
};

// {9169779D-34B2-4CC9-AB0B-8E1AA9C62CB4}
struct IDeviceService : IPluginObject {
    virtual IHostDeviceList* GetDeviceList() = 0;  // slot 2

protected:
    ~IDeviceService() = default;
};

struct IPluginHost {
    virtual long Reserved0() = 0;                // slot 0
    virtual long Reserved1() = 0;                // slot 1
    virtual long GetLanguageId() = 0;            // slot 2: low 16 bits = UI language id
    virtual long Reserved3() = 0;                // slot 3
    virtual long Reserved4() = 0;                // slot 4
    virtual long Reserved5() = 0;                // slot 5
    virtual long Reserved6() = 0;                // slot 6
    virtual long Reserved7() = 0;                // slot 7
    // Borrowed object or null; never released by the caller.
    virtual long QueryPluginObject(const GUID& id, IPluginObject** object) = 0;  // slot 8
    // "Install" (any case) when that plug-in is installed. The caller frees the result.
    virtual BSTR GetPluginState(BSTR pluginId, long kind) = 0;  // slot 9

protected:
    ~IPluginHost() = default;
};

struct IPluginModule {
    virtual long GetIntegerA() = 0;    // slot 0
    virtual BSTR GetName() = 0;        // slot 1: the module keeps ownership
    virtual long GetIntegerB() = 0;    // slot 2
    virtual long Initialize() = 0;     // slot 3
    virtual long Release() = 0;        // slot 4

protected:
    ~IPluginModule() = default;
};

struct IPluginView : IPluginObject {
    // slot 0 Create(host) and slot 1 Release come from IPluginObject.
    virtual long GetAttachResult() = 0;             // slot 2
    virtual long GetIntegerA() = 0;                 // slot 3
    virtual HINSTANCE GetInstance() = 0;            // slot 4
    virtual HWND GetWindow() = 0;                   // slot 5
    virtual long GetIntegerB() = 0;                 // slot 6
    virtual BSTR GetTitle() = 0;                    // slot 7: the view keeps ownership
    virtual BYTE GetFlag() = 0;                     // slot 8
    virtual long OperationA(long a, long b) = 0;    // slot 9
    virtual long OperationB(long a, long b) = 0;    // slot 10

protected:
    ~IPluginView() = default;
};

struct IApplicationConfigModule : IPluginObject {
    // slot 0 (one argument, answers 1) and slot 1 (release) from IPluginObject.
    virtual HWND GetPageWindow() = 0;              // slot 2
    virtual long CreatePage(HWND parent) = 0;      // slot 3
    virtual BSTR GetIdentifier() = 0;              // slot 4: the object keeps ownership
    virtual void ResetIdentifier(long keep) = 0;   // slot 5
    // Slot 6 is the object's destructor. The host calls it the way its own
    // compiler lays destructors out: one slot taking a flags word, bit 0 asking
    // for the memory to be freed too. A C++ virtual destructor from g++ would
    // take two slots and no argument, so the slot is spelled out instead.
    virtual void* DestroySelf(unsigned int flags) = 0;  // slot 6

protected:
    ~IApplicationConfigModule() = default;
};

namespace HostGuids {
// {58A6AF56-7549-4AA4-AE2F-E448FDD603BC}
constexpr GUID ViewContainer = {0x58A6AF56, 0x7549, 0x4AA4, {0xAE, 0x2F, 0xE4, 0x48, 0xFD, 0xD6, 0x03, 0xBC}};
// {2CEB1B47-603F-4A3F-81E4-ACA3949C8DB9}
constexpr GUID MessageService = {0x2CEB1B47, 0x603F, 0x4A3F, {0x81, 0xE4, 0xAC, 0xA3, 0x94, 0x9C, 0x8D, 0xB9}};
// {9169779D-34B2-4CC9-AB0B-8E1AA9C62CB4}
constexpr GUID DeviceService = {0x9169779D, 0x34B2, 0x4CC9, {0xAB, 0x0B, 0x8E, 0x1A, 0xA9, 0xC6, 0x2C, 0xB4}};
}  // namespace HostGuids

namespace HostMessages {
constexpr UINT RunMailboxCommand = 1734;
constexpr UINT DeviceSetChanged = 1834;
constexpr UINT RefreshRequested = 1839;
constexpr UINT ShowDetectingView = 1844;
constexpr UINT RunDisconnectCommand = 1849;
}  // namespace HostMessages

namespace PluginIds {
constexpr const wchar_t* Self = L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972";
constexpr const wchar_t* CertRenewal = L"DAECF30F-E1F7-4b78-829A-1B778A83530A";
constexpr const wchar_t* PinUnlock = L"871F89C4-A418-4361-90D9-29AF05B186B3";
constexpr const wchar_t* DeviceManagement = L"4CC1C123-8D4D-4e94-89B1-89841C3C1037";
}  // namespace PluginIds
