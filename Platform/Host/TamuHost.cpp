// The substitute host: interfaces, mailbox, main window and plug-in loading.
#include "TamuHost.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "Plugin/HostCommandMailbox.h"
#include "Screenshot.h"

namespace tamu {

namespace {

bool GuidLess(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }

using OnInitPluginsFn = int(__cdecl*)(IPluginHost*);
using GetPluginModuleFn = int(__cdecl*)(IPluginModule**);
using OnInitPluginConfigModuleFn = IApplicationConfigModule*(__cdecl*)();
using OnReleasePluginsFn = int(__cdecl*)();

const wchar_t kMainClass[] = L"TamuHostMainWindow";
const wchar_t kViewAreaClass[] = L"TamuHostViewArea";
const wchar_t kSettingsClass[] = L"TamuHostSettingsDialog";
constexpr int kSidebarWidth = 168;
constexpr int kHeaderHeight = 44;
constexpr UINT kIdSettings = 101, kIdRefresh = 102, kIdExit = 103, kIdInsertToken = 110;
constexpr UINT kIdRemoveTokenFirst = 200, kIdRemoveTokenLast = 299;
constexpr UINT_PTR kAutoCloseTimer = 1;

std::wstring Utf16FromArea(const void* area)
{
    const wchar_t* text = static_cast<const wchar_t*>(area);
    size_t n = 0;
    while (n < kHostMailboxSize / sizeof(wchar_t) && text[n] != L'\0') ++n;
    return std::wstring(text, n);
}

bool English(long languageId) { return (languageId & 0x3FF) == LANG_ENGLISH; }

}  // namespace

std::wstring BesideProgram(const std::wstring& name)
{
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    PathRemoveFileSpecW(path);
    return std::wstring(path) + L"\\" + name;
}

// ---- service objects --------------------------------------------------------

HWND ViewContainer::GetParentWindow() { return m_host_.ViewArea(); }
long ViewContainer::AttachView(IPluginView* view) { return m_host_.OnAttachView(view); }

void MessageEventManager::Release() { m_host_.ReleaseManager(this); }
long MessageEventManager::RegisterMessage(HWND window, UINT number) { return m_host_.OnRegister(window, number); }
long MessageEventManager::BroadcastMessage(UINT number, WPARAM wParam, LPARAM lParam)
{
    return m_host_.OnBroadcast(number, wParam, lParam);
}

IMessageEventManager* MessageService::GetMessageEventManager() { return m_host_.NewManager(); }

void HostDeviceList::Release() { m_host_.ReleaseDeviceList(this); }
long HostDeviceList::GetDeviceCount() { return m_host_.Devices() ? m_host_.Devices()->Count() : 0; }
unsigned long HostDeviceList::GetDevice(long index)
{
    if (!m_host_.Devices() || index < 0 || index >= m_host_.Devices()->Count()) return 0;
    return m_host_.Devices()->OpenDevice(index);
}

IHostDeviceList* DeviceService::GetDeviceList() { return m_host_.NewDeviceList(); }

// ---- host -------------------------------------------------------------------

Host::Host(HostOptions options)
    : m_options_(std::move(options)),
      m_container_(*this),
      m_messageService_(*this),
      m_deviceService_(*this),
      m_disabled_(GuidLess)
{
}

Host::~Host()
{
    UnloadPlugin();
    if (m_mainWindow_) DestroyWindow(m_mainWindow_);
    if (m_font_) DeleteObject(m_font_);
    if (m_mailboxView_) UnmapViewOfFile(m_mailboxView_);
    if (m_mailboxMapping_) CloseHandle(m_mailboxMapping_);
}

long Host::GetLanguageId()
{
    return m_options_.languageId ? m_options_.languageId : static_cast<long>(GetUserDefaultUILanguage());
}

long Host::QueryPluginObject(const GUID& id, IPluginObject** object)
{
    if (!object) return -1;
    *object = nullptr;
    if (m_disabled_.count(id)) return -1;
    if (IsEqualGUID(id, HostGuids::ViewContainer)) *object = &m_container_;
    else if (IsEqualGUID(id, HostGuids::MessageService)) *object = &m_messageService_;
    else if (IsEqualGUID(id, HostGuids::DeviceService)) *object = &m_deviceService_;
    return *object ? 0 : -1;
}

std::wstring Host::ConfigPath() const
{
    return m_options_.configPath.empty() ? BesideProgram(L"TamuHost.ini") : m_options_.configPath;
}

BSTR Host::GetPluginState(BSTR pluginId, long /*kind*/)
{
    // The caller owns the id it passed and the answer it gets.
    wchar_t state[64] = {};
    if (pluginId) {
        GetPrivateProfileStringW(L"Plugins", pluginId, L"", state, 64, ConfigPath().c_str());
    }
    return SysAllocString(state);
}

void Host::EnableService(const GUID& id, bool enabled)
{
    if (enabled) m_disabled_.erase(id);
    else m_disabled_.insert(id);
}

IMessageEventManager* Host::NewManager()
{
    if (!m_managerAvailable_) return nullptr;
    ++m_liveManagers_;
    return new MessageEventManager(*this);
}

void Host::ReleaseManager(IMessageEventManager* manager)
{
    --m_liveManagers_;
    delete static_cast<MessageEventManager*>(manager);
}

IHostDeviceList* Host::NewDeviceList()
{
    ++m_liveDeviceLists_;
    return new HostDeviceList(*this);
}

void Host::ReleaseDeviceList(IHostDeviceList* list)
{
    --m_liveDeviceLists_;
    delete static_cast<HostDeviceList*>(list);
}

long Host::OnRegister(HWND window, UINT number)
{
    if (!window) return -1;
    m_registrations_[number].insert(window);
    return 0;
}

long Host::OnBroadcast(UINT number, WPARAM wParam, LPARAM lParam)
{
    if (number == HostMessages::RunMailboxCommand || number == HostMessages::RunDisconnectCommand) {
        ReadMailbox(number);
    } else if (number == HostMessages::RefreshRequested) {
        Log(L"refresh requested by the plug-in");
        NotifyDeviceSetChanged();
    }
    auto it = m_registrations_.find(number);
    if (it != m_registrations_.end()) {
        for (HWND window : it->second) {
            if (IsWindow(window)) PostMessageW(window, number, wParam, lParam);
        }
    }
    return 0;
}

void Host::NotifyDeviceSetChanged()
{
    auto it = m_registrations_.find(HostMessages::DeviceSetChanged);
    if (it == m_registrations_.end()) return;
    for (HWND window : it->second) {
        if (IsWindow(window)) PostMessageW(window, HostMessages::DeviceSetChanged, 0, 0);
    }
}

void Host::ReadMailbox(UINT message)
{
    if (!m_mailboxView_) return;
    MailboxRecord record;
    record.message = message;
    record.text = Utf16FromArea(m_mailboxView_);
    const size_t bar = record.text.find(L'|');
    record.pluginId = record.text.substr(0, bar);
    record.parameters = bar == std::wstring::npos ? std::wstring() : record.text.substr(bar + 1);
    m_mailbox_.push_back(record);
    Log(L"mailbox " + std::to_wstring(message) + L": " + record.text);
    RunMailboxCommand(record);
}

void Host::RunMailboxCommand(const MailboxRecord& record)
{
    const bool english = English(GetLanguageId());
    std::wstring status;
    if (_wcsicmp(record.pluginId.c_str(), PluginIds::Self) == 0) {
        if (record.parameters.find(L"/ShowWindow=show") != std::wstring::npos && m_mainWindow_) {
            ShowWindow(m_mainWindow_, IsIconic(m_mainWindow_) ? SW_RESTORE : SW_SHOW);
            SetForegroundWindow(m_mainWindow_);
        }
        LayoutView();
        status = english ? L"Showing the certificate view" : L"已切换到证书显示";
    } else if (_wcsicmp(record.pluginId.c_str(), PluginIds::DeviceManagement) == 0 &&
               record.parameters.find(L"opeator=disconnect") != std::wstring::npos) {
        const size_t sn = record.parameters.find(L"sn=");
        std::wstring serial;
        if (sn != std::wstring::npos) {
            serial = record.parameters.substr(sn + 3);
            serial = serial.substr(0, serial.find(L'|'));
        }
        const bool removed = m_devices_ && !serial.empty() && m_devices_->RemoveToken(serial);
        status = (english ? L"Disconnect " : L"断开设备 ") + serial + (removed ? L"" : english ? L" (not found)" : L" (未找到)");
        Log(L"disconnect " + serial + (removed ? L": removed" : L": no such token"));
    } else {
        // The renewal and unlock plug-ins are not part of this host; TamuHost.ini
        // may still declare them installed, and then the hand-over is shown as
        // done so a tester sees the command arrive where it should.
        BSTR id = SysAllocString(record.pluginId.c_str());
        BSTR state = GetPluginState(id, 1);
        const bool installed = state && _wcsicmp(state, L"Install") == 0;
        SysFreeString(state);
        SysFreeString(id);
        const bool unlock = _wcsicmp(record.pluginId.c_str(), PluginIds::PinUnlock) == 0;
        const bool renewal = _wcsicmp(record.pluginId.c_str(), PluginIds::CertRenewal) == 0;
        const wchar_t* what = unlock    ? (english ? L"PIN unlock" : L"PIN 解锁")
                              : renewal ? (english ? L"certificate renewal" : L"证书更新")
                                        : record.pluginId.c_str();
        if (installed) {
            status = (english ? L"Handed to the plug-in: " : L"已交给插件: ") + std::wstring(what);
            Log(L"command handed to the installed plug-in " + record.pluginId);
        } else {
            status = (english ? L"Plug-in not installed: " : L"未安装插件: ") + std::wstring(what);
            Log(L"no plug-in here answers " + record.pluginId);
        }
    }
    if (m_status_) SendMessageW(m_status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
}

void Host::Log(const std::wstring& line)
{
    const std::wstring text = L"[TamuHost] " + line + L"\n";
    OutputDebugStringW(text.c_str());
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) {
        int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], n, nullptr, nullptr);
        DWORD written = 0;
        WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

long Host::OnAttachView(IPluginView* view)
{
    m_attachedView_ = view;
    LayoutView();
    // The frame itself held the focus while it had no pane: the view gets it.
    if (m_mainWindow_ && GetFocus() == m_mainWindow_) FocusPane();
    return 0;
}

void Host::LayoutView()
{
    if (!m_attachedView_ || !m_viewArea_) return;
    HWND viewWindow = m_attachedView_->GetWindow();
    if (!viewWindow || !IsWindow(viewWindow)) return;
    RECT area;
    GetClientRect(m_viewArea_, &area);
    SetWindowPos(viewWindow, nullptr, 0, 0, area.right, area.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

bool Host::Start()
{
    if (!m_mailboxMapping_) {
        m_mailboxMapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                               kHostMailboxSize, kHostMailboxName);
        if (!m_mailboxMapping_) return false;
        m_mailboxView_ = MapViewOfFile(m_mailboxMapping_, FILE_MAP_ALL_ACCESS, 0, 0, kHostMailboxSize);
        if (!m_mailboxView_) {
            CloseHandle(m_mailboxMapping_);
            m_mailboxMapping_ = nullptr;
            return false;
        }
    }
    if (!m_options_.createWindow || m_mainWindow_) return true;

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kMainClass;
    RegisterClassExW(&wc);
    // The class (and its brush) lives as long as the process: every host of
    // a test process shares it.
    static HBRUSH viewAreaBrush = CreateSolidBrush(RGB(0xF5, 0xF7, 0xFA));
    wc.lpfnWndProc = DefWindowProcW;
    wc.hbrBackground = viewAreaBrush;
    wc.lpszClassName = kViewAreaClass;
    wc.style = 0;
    RegisterClassExW(&wc);

    const bool english = English(GetLanguageId());
    HMENU menu = CreateMenu();
    HMENU tools = CreatePopupMenu();
    AppendMenuW(tools, MF_STRING, kIdSettings, english ? L"&Settings..." : L"设置(&S)...");
    AppendMenuW(tools, MF_STRING, kIdRefresh, english ? L"&Refresh devices" : L"刷新设备(&R)");
    AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(tools, MF_STRING, kIdExit, english ? L"E&xit" : L"退出(&X)");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), english ? L"&Tools" : L"工具(&T)");
    // Stand-in for plugging a USB token in and out.
    HMENU devices = CreatePopupMenu();
    AppendMenuW(devices, MF_STRING, kIdInsertToken, english ? L"&Insert token folder..." : L"插入令牌目录(&I)...");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(devices), english ? L"&Devices" : L"设备(&D)");

    NONCLIENTMETRICSW metrics = {sizeof(metrics)};
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    m_font_ = CreateFontIndirectW(&metrics.lfMessageFont);

    m_mainWindow_ = CreateWindowExW(0, kMainClass, english ? L"Tamu Token Manager" : L"Tamu 证书管理工具",
                                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                    820 + kSidebarWidth + 16, 620 + kHeaderHeight + 80, nullptr, menu,
                                    instance, this);
    if (!m_mainWindow_) return false;
    m_viewArea_ = CreateWindowExW(0, kViewAreaClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                  m_mainWindow_, nullptr, instance, nullptr);
    m_status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                m_mainWindow_, nullptr, instance, nullptr);
    SendMessageW(m_status_, WM_SETFONT, reinterpret_cast<WPARAM>(m_font_), TRUE);
    RECT rc;
    GetClientRect(m_mainWindow_, &rc);
    SendMessageW(m_mainWindow_, WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
    return true;
}

LRESULT CALLBACK Host::MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!host) return DefWindowProcW(window, message, wParam, lParam);
    return host->HandleMainMessage(window, message, wParam, lParam);
}

LRESULT Host::HandleMainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE: {
        const int width = LOWORD(lParam), height = HIWORD(lParam);
        int statusHeight = 0;
        if (m_status_) {
            SendMessageW(m_status_, WM_SIZE, 0, 0);
            RECT sr;
            GetWindowRect(m_status_, &sr);
            statusHeight = sr.bottom - sr.top;
        }
        if (m_viewArea_) {
            MoveWindow(m_viewArea_, kSidebarWidth, kHeaderHeight, width - kSidebarWidth,
                       height - kHeaderHeight - statusHeight, TRUE);
        }
        LayoutView();
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        RECT header = {0, 0, client.right, kHeaderHeight};
        HBRUSH headerBrush = CreateSolidBrush(RGB(0x1F, 0x4E, 0x8C));
        FillRect(dc, &header, headerBrush);
        DeleteObject(headerBrush);
        RECT side = {0, kHeaderHeight, kSidebarWidth, client.bottom};
        HBRUSH sideBrush = CreateSolidBrush(RGB(0xEC, 0xF0, 0xF5));
        FillRect(dc, &side, sideBrush);
        DeleteObject(sideBrush);
        RECT selected = {0, kHeaderHeight + 12, kSidebarWidth, kHeaderHeight + 48};
        HBRUSH selBrush = CreateSolidBrush(RGB(0xD6, 0xE4, 0xF5));
        FillRect(dc, &selected, selBrush);
        DeleteObject(selBrush);
        HGDIOBJ oldFont = SelectObject(dc, m_font_);
        SetBkMode(dc, TRANSPARENT);
        const bool english = English(GetLanguageId());
        SetTextColor(dc, RGB(255, 255, 255));
        RECT title = header;
        title.left = 16;
        DrawTextW(dc, english ? L"Tamu Token Manager" : L"Tamu 证书管理工具", -1, &title,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        SetTextColor(dc, RGB(0x1F, 0x2D, 0x3D));
        selected.left = 20;
        DrawTextW(dc, english ? L"My certificates" : L"我的证书", -1, &selected, DT_SINGLELINE | DT_VCENTER);
        SelectObject(dc, oldFont);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kAutoCloseTimer) {
            KillTimer(window, kAutoCloseTimer);
            if (!m_screenshotFolder_.empty()) {
                const int n = CaptureProcessWindows(m_screenshotFolder_, L"window-");
                Log(L"wrote " + std::to_wstring(n) + L" screenshot(s) to " + m_screenshotFolder_);
            }
            Log(L"timeout reached, closing");
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // What every frame of a real host does for its panes (the dialog
        // manager's convention): the focus a pane had when another window
        // took over comes back to it with the activation, and a fresh
        // activation gives it to the plug-in's view, our only pane.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window, focus)) m_savedFocus_ = focus;
            return 0;
        }
        if (!HIWORD(wParam)) FocusPane();
        return 0;
    case WM_SETFOCUS:
        FocusPane();
        return 0;
    case WM_KEYDOWN:
        // F6 goes to the next pane; with one pane, back into the view.
        if (wParam == VK_F6) {
            m_savedFocus_ = nullptr;
            FocusPane();
            return 0;
        }
        break;
    case WM_INITMENUPOPUP:
        ShowDeviceMenu(reinterpret_cast<HMENU>(wParam));
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdInsertToken ||
            (LOWORD(wParam) >= kIdRemoveTokenFirst && LOWORD(wParam) <= kIdRemoveTokenLast)) {
            OnDeviceCommand(LOWORD(wParam));
            return 0;
        }
        switch (LOWORD(wParam)) {
        case kIdSettings: ShowSettingsDialog(window); return 0;
        case kIdRefresh: NotifyDeviceSetChanged(); return 0;
        case kIdExit: DestroyWindow(window); return 0;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        // The plug-in's windows are children of ours: let the plug-in take
        // them down in its own order before ours go.
        UnloadPlugin();
        m_mainWindow_ = nullptr;
        m_viewArea_ = nullptr;
        m_status_ = nullptr;
        if (m_options_.quitOnClose) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Host::FocusPane()
{
    HWND target = m_savedFocus_ && IsWindow(m_savedFocus_) && IsChild(m_mainWindow_, m_savedFocus_) ? m_savedFocus_ : nullptr;
    if (!target && m_attachedView_) target = m_attachedView_->GetWindow();
    if (target && IsWindow(target) && IsWindowVisible(target)) SetFocus(target);
}

void Host::CloseAfter(unsigned seconds, const std::wstring& screenshotFolder)
{
    m_screenshotFolder_ = screenshotFolder;
    if (m_mainWindow_) SetTimer(m_mainWindow_, kAutoCloseTimer, seconds * 1000, nullptr);
}

void Host::ShowDeviceMenu(HMENU menu)
{
    // Rebuilt on every opening: one "remove" entry per present token.
    if (GetMenuItemID(menu, 0) != kIdInsertToken) return;
    while (GetMenuItemCount(menu) > 1) DeleteMenu(menu, 1, MF_BYPOSITION);
    const bool english = English(GetLanguageId());
    if (!m_devices_) {
        EnableMenuItem(menu, kIdInsertToken, MF_BYCOMMAND | MF_GRAYED);
        return;
    }
    EnableMenuItem(menu, kIdInsertToken, MF_BYCOMMAND | MF_ENABLED);
    const std::vector<std::wstring> serials = m_devices_->Serials();
    if (!serials.empty()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (size_t i = 0; i < serials.size() && kIdRemoveTokenFirst + i <= kIdRemoveTokenLast; ++i) {
        const std::wstring label = (english ? L"Remove token " : L"拔出令牌 ") + serials[i];
        AppendMenuW(menu, MF_STRING, kIdRemoveTokenFirst + static_cast<UINT>(i), label.c_str());
    }
}

void Host::OnDeviceCommand(UINT id)
{
    if (!m_devices_) return;
    const bool english = English(GetLanguageId());
    if (id == kIdInsertToken) {
        BROWSEINFOW info = {};
        info.hwndOwner = m_mainWindow_;
        info.lpszTitle = english ? L"Choose a token folder (it holds token.ini)" : L"选择令牌目录（含 token.ini）";
        info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
        if (!item) return;
        wchar_t folder[MAX_PATH] = {};
        const bool named = SHGetPathFromIDListW(item, folder);
        CoTaskMemFree(item);
        if (!named) return;
        const bool inserted = m_devices_->InsertToken(folder);
        Log(std::wstring(L"insert token ") + folder + (inserted ? L": done" : L": not a token or already present"));
        if (!inserted) {
            MessageBoxW(m_mainWindow_,
                        english ? L"That folder is not a token, or a token of that name is already inserted."
                                : L"该目录不是令牌，或同名令牌已插入。",
                        english ? L"Insert token" : L"插入令牌", MB_ICONERROR);
        }
        return;
    }
    const std::vector<std::wstring> serials = m_devices_->Serials();
    const size_t index = id - kIdRemoveTokenFirst;
    if (index < serials.size()) {
        const bool removed = m_devices_->RemoveToken(serials[index]);
        Log(L"remove token " + serials[index] + (removed ? L": done" : L": failed"));
    }
}

bool Host::LoadPlugin()
{
    if (m_plugin_) return true;
    const std::wstring path = m_options_.pluginPath.empty() ? BesideProgram(L"LumoraPlugin.dll") : m_options_.pluginPath;
    m_plugin_ = LoadLibraryW(path.c_str());
    if (!m_plugin_) {
        Log(L"cannot load " + path + L" (error " + std::to_wstring(GetLastError()) + L")");
        return false;
    }
    auto init = reinterpret_cast<OnInitPluginsFn>(GetProcAddress(m_plugin_, "OnInitPlugins"));
    auto getModule = reinterpret_cast<GetPluginModuleFn>(GetProcAddress(m_plugin_, "GetPluginModule"));
    if (!init || !getModule) {
        Log(L"plug-in exports are missing in " + path);
        FreeLibrary(m_plugin_);
        m_plugin_ = nullptr;
        return false;
    }
    Log(L"loaded " + path + L"; OnInitPlugins returned " + std::to_wstring(init(this)));
    getModule(&m_module_);
    Log(m_module_ ? L"module object received" : L"the plug-in gave no module object");
    return true;
}

void Host::UnloadPlugin()
{
    if (!m_plugin_) return;
    CloseSettingsDialog();
    auto release = reinterpret_cast<OnReleasePluginsFn>(GetProcAddress(m_plugin_, "OnReleasePlugins"));
    if (release) Log(L"OnReleasePlugins returned " + std::to_wstring(release()));
    m_module_ = nullptr;
    m_attachedView_ = nullptr;
    FreeLibrary(m_plugin_);
    m_plugin_ = nullptr;
}

namespace {

// The settings dialog hands the keyboard to the page it holds whenever it is
// activated, as a property sheet does; everything else is default handling.
LRESULT CALLBACK SettingsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (!focus || !IsChild(window, focus)) {
            if (HWND page = GetWindow(window, GW_CHILD)) SetFocus(page);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool Host::ShowSettingsDialog(HWND owner)
{
    if (!m_plugin_) return false;
    auto makePage = reinterpret_cast<OnInitPluginConfigModuleFn>(GetProcAddress(m_plugin_, "OnInitPluginConfigModule"));
    IApplicationConfigModule* page = makePage ? makePage() : nullptr;
    if (!page) {
        Log(L"the plug-in offers no settings page");
        return false;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = SettingsDialogProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kSettingsClass;
    RegisterClassExW(&wc);
    const bool english = English(GetLanguageId());
    RECT frame = {0, 0, 820, 620};
    AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
    HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, kSettingsClass, english ? L"Settings" : L"设置",
                                  WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance,
                                  nullptr);
    m_settingsDialog_ = dialog;
    m_settingsPage_ = page;
    const long created = page->CreatePage(dialog);
    Log(L"settings page Create returned " + std::to_wstring(created));
    if (HWND pageWindow = page->GetPageWindow()) ShowWindow(pageWindow, SW_SHOW);
    ShowWindow(dialog, SW_SHOW);
    if (owner) EnableWindow(owner, FALSE);
    MSG msg;
    while (IsWindow(dialog) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (owner && IsWindow(owner)) EnableWindow(owner, TRUE);
    CloseSettingsDialog();
    return true;
}

void Host::CloseSettingsDialog()
{
    HWND dialog = m_settingsDialog_;
    IApplicationConfigModule* page = m_settingsPage_;
    m_settingsDialog_ = nullptr;
    m_settingsPage_ = nullptr;
    if (dialog && IsWindow(dialog)) DestroyWindow(dialog);
    if (page) page->Release();
}

}  // namespace tamu
