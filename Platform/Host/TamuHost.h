// TamuHost: a small stand-in for the desktop application that loads
// LumoraPlugin. It implements the host interfaces the plug-in calls, owns the
// command mailbox, shows the plug-in's view in its main window and hands out
// PKI device handles of a token store. Usable in-process by tests.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Plugin/HostInterfaces.h"

namespace tamu {

// Where the host's devices come from (the token store when one is wired in).
class DeviceProvider {
public:
    virtual ~DeviceProvider() = default;
    virtual long Count() = 0;
    virtual unsigned long OpenDevice(long index) = 0;  // a fresh handle; the plug-in frees it
    virtual bool RemoveToken(const std::wstring& serial) = 0;
    virtual bool InsertToken(const std::wstring& tokenFolder) = 0;
    // Serial numbers of the present tokens, in device order.
    virtual std::vector<std::wstring> Serials() = 0;
};

struct HostOptions {
    std::wstring pluginPath;        // empty: LumoraPlugin.dll beside the host
    long languageId = 0;            // 0: the Windows UI language
    std::wstring configPath;        // empty: TamuHost.ini beside the host
    bool createWindow = true;       // false: headless (tests of the interfaces)
    bool quitOnClose = false;       // closing the main window ends the thread's message loop
};

// One received mailbox command, as the host read it.
struct MailboxRecord {
    UINT message = 0;
    std::wstring text;      // up to the first zero character (at most 512)
    std::wstring pluginId;  // text before the first bar
    std::wstring parameters;
};

class Host;

class ViewContainer final : public IPluginViewContainer {
public:
    explicit ViewContainer(Host& host) : m_host_(host) {}
    long Create(IPluginHost*) override { return 0; }
    void Release() override {}
    HWND GetParentWindow() override;
    long AttachView(IPluginView* view) override;

private:
    Host& m_host_;
};

class MessageEventManager final : public IMessageEventManager {
public:
    explicit MessageEventManager(Host& host) : m_host_(host) {}
    long Reserved0() override { return 0; }
    void Release() override;
    long RegisterMessage(HWND window, UINT number) override;
    long Reserved3() override { return 0; }
    long Reserved4() override { return 0; }
    long BroadcastMessage(UINT number, WPARAM wParam, LPARAM lParam) override;

private:
    Host& m_host_;
};

class MessageService final : public IMessageService {
public:
    explicit MessageService(Host& host) : m_host_(host) {}
    long Create(IPluginHost*) override { return 0; }
    void Release() override {}
    IMessageEventManager* GetMessageEventManager() override;

private:
    Host& m_host_;
};

class HostDeviceList final : public IHostDeviceList {
public:
    explicit HostDeviceList(Host& host) : m_host_(host) {}
    long Reserved0() override { return 0; }
    void Release() override;
    long GetDeviceCount() override;
    long Reserved3() override { return 0; }
    unsigned long GetDevice(long index) override;

private:
    Host& m_host_;
};

class DeviceService final : public IDeviceService {
public:
    explicit DeviceService(Host& host) : m_host_(host) {}
    long Create(IPluginHost*) override { return 0; }
    void Release() override {}
    IHostDeviceList* GetDeviceList() override;

private:
    Host& m_host_;
};

class Host final : public IPluginHost {
public:
    explicit Host(HostOptions options);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // IPluginHost
    long Reserved0() override { return 0; }
    long Reserved1() override { return 0; }
    long GetLanguageId() override;
    long Reserved3() override { return 0; }
    long Reserved4() override { return 0; }
    long Reserved5() override { return 0; }
    long Reserved6() override { return 0; }
    long Reserved7() override { return 0; }
    long QueryPluginObject(const GUID& id, IPluginObject** object) override;
    BSTR GetPluginState(BSTR pluginId, long kind) override;

    // Creates the mailbox and (unless headless) the main window.
    bool Start();
    // Loads the plug-in DLL and calls OnInitPlugins and GetPluginModule.
    bool LoadPlugin();
    // OnReleasePlugins and unloading; safe to call more than once.
    void UnloadPlugin();

    void SetDeviceProvider(DeviceProvider* provider) { m_devices_ = provider; }
    DeviceProvider* Devices() const { return m_devices_; }
    // Tells every window registered for 1834 that the device set changed.
    void NotifyDeviceSetChanged();

    // Which service objects answer QueryPluginObject; tests switch one off to
    // see how the plug-in copes with a host that lacks it.
    void EnableService(const GUID& id, bool enabled);
    // A message service that hands out no manager, as a broken host might.
    void SetManagerAvailable(bool available) { m_managerAvailable_ = available; }

    // Closes the main window after the given time, first writing a PNG of
    // every window of the process into screenshotFolder when one is given.
    // A window timer, so it fires inside modal loops too.
    void CloseAfter(unsigned seconds, const std::wstring& screenshotFolder);

    HWND MainWindow() const { return m_mainWindow_; }
    HWND ViewArea() const { return m_viewArea_; }
    IPluginView* AttachedView() const { return m_attachedView_; }
    IPluginModule* Module() const { return m_module_; }
    HMODULE PluginLibrary() const { return m_plugin_; }
    const std::vector<MailboxRecord>& Mailbox() const { return m_mailbox_; }
    const std::map<UINT, std::set<HWND>>& Registrations() const { return m_registrations_; }
    int LiveManagers() const { return m_liveManagers_; }
    int LiveDeviceLists() const { return m_liveDeviceLists_; }

    // The settings dialog the host builds from the plug-in's settings page.
    bool ShowSettingsDialog(HWND owner);
    HWND SettingsDialog() const { return m_settingsDialog_; }

    // Called by the service objects.
    long OnAttachView(IPluginView* view);
    long OnRegister(HWND window, UINT number);
    long OnBroadcast(UINT number, WPARAM wParam, LPARAM lParam);
    IMessageEventManager* NewManager();
    void ReleaseManager(IMessageEventManager* manager);
    IHostDeviceList* NewDeviceList();
    void ReleaseDeviceList(IHostDeviceList* list);

    void Log(const std::wstring& line);
    void LayoutView();

private:
    static LRESULT CALLBACK MainWndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMainMessage(HWND, UINT, WPARAM, LPARAM);
    void ReadMailbox(UINT message);
    void ShowDeviceMenu(HMENU menu);
    void OnDeviceCommand(UINT id);
    void RunMailboxCommand(const MailboxRecord& record);
    // Gives the keyboard focus to the pane that last had it, else the view.
    void FocusPane();
    std::wstring ConfigPath() const;
    // Closes the settings dialog and releases its page while the plug-in
    // that made the page is still loaded.
    void CloseSettingsDialog();

    HostOptions m_options_;
    ViewContainer m_container_;
    MessageService m_messageService_;
    DeviceService m_deviceService_;
    std::set<GUID, bool (*)(const GUID&, const GUID&)> m_disabled_;
    DeviceProvider* m_devices_ = nullptr;
    bool m_managerAvailable_ = true;
    std::wstring m_screenshotFolder_;

    HANDLE m_mailboxMapping_ = nullptr;
    void* m_mailboxView_ = nullptr;
    std::vector<MailboxRecord> m_mailbox_;
    std::map<UINT, std::set<HWND>> m_registrations_;
    int m_liveManagers_ = 0;
    int m_liveDeviceLists_ = 0;

    HMODULE m_plugin_ = nullptr;
    IPluginModule* m_module_ = nullptr;
    // The settings dialog while it is open, and the plug-in's page in it.
    HWND m_settingsDialog_ = nullptr;
    IApplicationConfigModule* m_settingsPage_ = nullptr;
    IPluginView* m_attachedView_ = nullptr;
    HWND m_mainWindow_ = nullptr;
    HWND m_viewArea_ = nullptr;
    HWND m_status_ = nullptr;
    HWND m_savedFocus_ = nullptr;
    HFONT m_font_ = nullptr;
};

// Path of a file beside the running host program.
std::wstring BesideProgram(const std::wstring& name);

}  // namespace tamu
