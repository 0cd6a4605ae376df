// A host built the way the real one is: Microsoft's C++ ABI (clang for the
// *-pc-windows-msvc target, lld-link), beside the language library built the
// same way. It declares the host interfaces from their written slot tables on
// its own, not from the plug-in's header: what matters is that an
// independent reading by that compiler (vtable slots, __thiscall, a
// destructor's single slot) meets the DLL we build with g++.
//   LumoraMsvcHost.exe PLUGIN_DLL TOKEN_FOLDER
// Loads the plug-in, answers its host objects, checks the module, view and
// settings-page objects slot by slot, sends a device refresh, releases and
// unloads; prints one line per check and ends with "msvc-host: passed".
#include "MsvcWin32.h"

namespace {

// ---- the host interfaces, as a host written for Microsoft's compiler declares them ----
struct IPluginHost;
struct IPluginView;
struct IPluginObject {
    virtual long Create(IPluginHost* host) = 0;
    virtual void Release() = 0;
};
struct IViewContainer : IPluginObject {
    virtual HWND GetParentWindow() = 0;
    virtual long AttachView(IPluginView* view) = 0;
};
struct IMessageEventManager {
    virtual long Slot0() = 0;
    virtual void Release() = 0;
    virtual long RegisterMessage(HWND window, UINT number) = 0;
    virtual long Slot3() = 0;
    virtual long Slot4() = 0;
    virtual long BroadcastMessage(UINT number, WPARAM wParam, LPARAM lParam) = 0;
};
struct IMessageService : IPluginObject {
    virtual IMessageEventManager* GetMessageEventManager() = 0;
};
struct IHostDeviceList {
    virtual long Slot0() = 0;
    virtual void Release() = 0;
    virtual long GetDeviceCount() = 0;
    virtual long Slot3() = 0;
    virtual unsigned long GetDevice(long index) = 0;
};
struct IDeviceService : IPluginObject {
    virtual IHostDeviceList* GetDeviceList() = 0;
};
struct IPluginHost {
    virtual long Slot0() = 0;
    virtual long Slot1() = 0;
    virtual long GetLanguageId() = 0;
    virtual long Slot3() = 0;
    virtual long Slot4() = 0;
    virtual long Slot5() = 0;
    virtual long Slot6() = 0;
    virtual long Slot7() = 0;
    virtual long QueryPluginObject(const GUID& id, IPluginObject** object) = 0;
    virtual BSTR GetPluginState(BSTR pluginId, long kind) = 0;
};
struct IPluginModule {
    virtual long IntegerA() = 0;
    virtual BSTR Name() = 0;
    virtual long IntegerB() = 0;
    virtual long Initialize() = 0;
    virtual long Release() = 0;
};
struct IPluginView : IPluginObject {
    virtual long AttachResult() = 0;
    virtual long IntegerA() = 0;
    virtual HINSTANCE Instance() = 0;
    virtual HWND Window() = 0;
    virtual long IntegerB() = 0;
    virtual BSTR Title() = 0;
    virtual BYTE Flag() = 0;
    virtual long OperationA(long a, long b) = 0;
    virtual long OperationB(long a, long b) = 0;
};
// Slot 6 is the object's destructor: this compiler gives it one slot (the
// scalar deleting destructor), which `delete` calls with the free flag.
struct IConfigModule : IPluginObject {
    virtual HWND PageWindow() = 0;
    virtual long CreatePage(HWND parent) = 0;
    virtual BSTR Identifier() = 0;
    virtual void ResetIdentifier(long keep) = 0;
    virtual ~IConfigModule() = 0;
};
IConfigModule::~IConfigModule() {}

const GUID kViewContainer = {0x58A6AF56, 0x7549, 0x4AA4, {0xAE, 0x2F, 0xE4, 0x48, 0xFD, 0xD6, 0x03, 0xBC}};
const GUID kMessageService = {0x2CEB1B47, 0x603F, 0x4A3F, {0x81, 0xE4, 0xAC, 0xA3, 0x94, 0x9C, 0x8D, 0xB9}};
const GUID kDeviceService = {0x9169779D, 0x34B2, 0x4CC9, {0xAB, 0x0B, 0x8E, 0x1A, 0xA9, 0xC6, 0x2C, 0xB4}};
const wchar_t kPluginId[] = L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972";
const wchar_t kMailboxName[] = L"{B0EC4E51-7782-4901-866E-C043C98A3CBA}";

// ---- output ---------------------------------------------------------------------------
int g_failures = 0;

void Write(const wchar_t* text)
{
    char bytes[512];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), nullptr, nullptr);
    DWORD written = 0;
    if (n > 1) WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, static_cast<DWORD>(n - 1), &written, nullptr);
}

void WriteNumber(long value)
{
    wchar_t digits[24];
    int i = 23;
    digits[i] = 0;
    const bool negative = value < 0;
    unsigned long rest = negative ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[--i] = static_cast<wchar_t>(L'0' + rest % 10);
        rest /= 10;
    } while (rest);
    if (negative) digits[--i] = L'-';
    Write(digits + i);
}

void Check(bool ok, const wchar_t* what, long value = 0, bool showValue = false)
{
    Write(ok ? L"msvc-host: ok     " : L"msvc-host: FAILED ");
    Write(what);
    if (showValue) {
        Write(L" (");
        WriteNumber(value);
        Write(L")");
    }
    Write(L"\r\n");
    if (!ok) ++g_failures;
}

bool SameText(const wchar_t* a, const wchar_t* b)
{
    if (!a || !b) return a == b;
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

bool HasClass(HWND window, const wchar_t* name)
{
    wchar_t buffer[64] = {};
    return window && GetClassNameW(window, buffer, 64) > 0 && SameText(buffer, name);
}

bool SameGuid(const GUID& a, const GUID& b)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&a);
    const BYTE* q = reinterpret_cast<const BYTE*>(&b);
    for (unsigned i = 0; i < sizeof(GUID); ++i)
        if (p[i] != q[i]) return false;
    return true;
}

void Pump(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// ---- the host's objects ----------------------------------------------------------------
using OpenDeviceFn = unsigned long(__cdecl*)(const wchar_t*);

struct Record {
    HWND viewArea = nullptr;
    IPluginView* view = nullptr;
    HWND registered[2] = {};
    UINT registeredNumbers[2] = {};
    int registrations = 0;
    int managersOut = 0;
    int listsOut = 0;
    int devicesHanded = 0;
    UINT lastBroadcast = 0;
    int pluginStatesAsked = 0;
    OpenDeviceFn openDevice = nullptr;
    const wchar_t* tokenFolder = nullptr;
};

struct Container final : IViewContainer {
    Record& r;
    explicit Container(Record& record) : r(record) {}
    long Create(IPluginHost*) override { return 0; }
    void Release() override {}
    HWND GetParentWindow() override { return r.viewArea; }
    long AttachView(IPluginView* view) override
    {
        r.view = view;
        return 7;  // a value the view must report back as it is
    }
};

struct Manager final : IMessageEventManager {
    Record& r;
    explicit Manager(Record& record) : r(record) {}
    long Slot0() override { return 0; }
    void Release() override { --r.managersOut; }
    long RegisterMessage(HWND window, UINT number) override
    {
        if (r.registrations < 2) {
            r.registered[r.registrations] = window;
            r.registeredNumbers[r.registrations] = number;
        }
        ++r.registrations;
        return 0;
    }
    long Slot3() override { return 0; }
    long Slot4() override { return 0; }
    long BroadcastMessage(UINT number, WPARAM, LPARAM) override
    {
        r.lastBroadcast = number;
        return 0;
    }
};

struct MessageService final : IMessageService {
    Manager& manager;
    explicit MessageService(Manager& m) : manager(m) {}
    long Create(IPluginHost*) override { return 0; }
    void Release() override {}
    IMessageEventManager* GetMessageEventManager() override
    {
        ++manager.r.managersOut;
        return &manager;
    }
};

struct DeviceList final : IHostDeviceList {
    Record& r;
    explicit DeviceList(Record& record) : r(record) {}
    long Slot0() override { return 0; }
    void Release() override { --r.listsOut; }
    long GetDeviceCount() override { return 1; }
    long Slot3() override { return 0; }
    unsigned long GetDevice(long index) override
    {
        if (index != 0 || !r.openDevice) return 0;
        ++r.devicesHanded;
        return r.openDevice(r.tokenFolder);
    }
};

struct DeviceService final : IDeviceService {
    DeviceList& list;
    explicit DeviceService(DeviceList& l) : list(l) {}
    long Create(IPluginHost*) override { return 0; }
    void Release() override {}
    IHostDeviceList* GetDeviceList() override
    {
        ++list.r.listsOut;
        return &list;
    }
};

struct Host final : IPluginHost {
    Record& r;
    IPluginObject* container;
    IPluginObject* messages;
    IPluginObject* devices;
    Host(Record& record, IPluginObject* c, IPluginObject* m, IPluginObject* d)
        : r(record), container(c), messages(m), devices(d)
    {
    }
    long Slot0() override { return 0; }
    long Slot1() override { return 0; }
    long GetLanguageId() override { return 2052; }
    long Slot3() override { return 0; }
    long Slot4() override { return 0; }
    long Slot5() override { return 0; }
    long Slot6() override { return 0; }
    long Slot7() override { return 0; }
    long QueryPluginObject(const GUID& id, IPluginObject** object) override
    {
        *object = SameGuid(id, kViewContainer)    ? container
                  : SameGuid(id, kMessageService) ? messages
                  : SameGuid(id, kDeviceService)  ? devices
                                                  : nullptr;
        return *object ? 0 : -1;
    }
    BSTR GetPluginState(BSTR pluginId, long kind) override
    {
        // The plug-in frees what it passed and what it gets.
        ++r.pluginStatesAsked;
        return SysAllocString(pluginId && kind == 1 ? L"Install" : L"");
    }
};

// The arguments after the program name: plug-in path, token folder.
void SplitArguments(wchar_t* line, wchar_t** out, int wanted)
{
    int found = -1;
    while (*line && found < wanted) {
        while (*line == L' ') ++line;
        if (!*line) break;
        const bool quoted = *line == L'"';
        if (quoted) ++line;
        if (found >= 0) out[found] = line;
        ++found;
        while (*line && (quoted ? *line != L'"' : *line != L' ')) ++line;
        if (*line) *line++ = 0;
    }
}

HWND MakeWindow(const wchar_t* title, HWND parent)
{
    return CreateWindowExW(0, L"LumoraMsvcHostWindow", title,
                           parent ? WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           0, 0, 900, 700, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

using InitFn = int(__cdecl*)(IPluginHost*);
using GetModuleFn = int(__cdecl*)(IPluginModule**);
using ConfigFn = IConfigModule*(__cdecl*)();
using ReleaseFn = int(__cdecl*)();

int Run()
{
    wchar_t* args[2] = {};
    SplitArguments(GetCommandLineW(), args, 2);
    if (!args[0] || !args[1]) {
        Write(L"usage: LumoraMsvcHost.exe PLUGIN_DLL TOKEN_FOLDER\r\n");
        return 2;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumoraMsvcHostWindow";
    RegisterClassW(&wc);

    Record r;
    HMODULE pki = LoadLibraryW(L"ZENTO_CRYPTO.dll");
    r.openDevice = pki ? reinterpret_cast<OpenDeviceFn>(GetProcAddress(pki, "ZentoPKIHostOpenDevice")) : nullptr;
    r.tokenFolder = args[1];
    Check(r.openDevice != nullptr, L"the PKI library's host entry");
    HANDLE mailbox = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024, kMailboxName);
    const wchar_t* mailboxText = mailbox ? static_cast<const wchar_t*>(MapViewOfFile(mailbox, FILE_MAP_ALL_ACCESS, 0, 0, 1024)) : nullptr;

    HWND frame = MakeWindow(L"LumoraMsvcHost", nullptr);
    r.viewArea = MakeWindow(L"view area", frame);
    Container container(r);
    Manager manager(r);
    MessageService messages(manager);
    DeviceList list(r);
    DeviceService devices(list);
    Host host(r, &container, &messages, &devices);

    HMODULE plugin = LoadLibraryW(args[0]);
    Check(plugin != nullptr, L"LumoraPlugin.dll loads beside the Microsoft-built language library");
    if (!plugin) return 1;
    Check(GetModuleHandleW(L"ZENTO_Language.dll") != nullptr, L"ZENTO_Language.dll is loaded with it");
    auto init = reinterpret_cast<InitFn>(GetProcAddress(plugin, "OnInitPlugins"));
    auto getModule = reinterpret_cast<GetModuleFn>(GetProcAddress(plugin, "GetPluginModule"));
    auto config = reinterpret_cast<ConfigFn>(GetProcAddress(plugin, "OnInitPluginConfigModule"));
    auto release = reinterpret_cast<ReleaseFn>(GetProcAddress(plugin, "OnReleasePlugins"));
    Check(init && getModule && config && release, L"the four exports under their plain names");
    if (!init || !getModule || !config || !release) return 1;

    IPluginModule* module = reinterpret_cast<IPluginModule*>(1);
    Check(getModule(&module) == 0 && module == nullptr, L"GetPluginModule before the start stores null");
    Check(init(&host) == 0, L"OnInitPlugins returns 0");
    Check(getModule(&module) == 0 && module != nullptr, L"GetPluginModule gives the module");
    if (!module || !r.view) return 1;
    BSTR name = module->Name();
    Check(module->IntegerA() == 1 && name && SysStringLen(name) == 0 && module->IntegerB() == 0,
          L"module slots 0-2: 1, the empty name, 0");

    IPluginView* view = r.view;
    HWND window = view->Window();
    Check(view->AttachResult() == 7, L"view slot 2 reports what AttachView returned", view->AttachResult(), true);
    Check(view->IntegerA() == 1 && view->IntegerB() == 0 && view->Flag() == 0, L"view slots 3, 6, 8: 1, 0, 0");
    Check(view->Instance() == plugin, L"view slot 4 is the plug-in's instance");
    Check(HasClass(window, L"ZentoLumoraPluginMainWnd") && GetParent(window) == r.viewArea,
          L"view slot 5 is the main window, a child of the container's window");
    Check(SameText(view->Title(), L"\u8bc1\u4e66\u663e\u793a\u63d2\u4ef6"), L"view slot 7 is the title");
    Check(view->OperationA(3, 4) == 0 && view->OperationB(5, 6) == 0, L"view slots 9 and 10 answer 0");
    Check(r.registrations == 2 && r.registered[0] == window && r.registered[1] == window &&
              r.registeredNumbers[0] == 1834 && r.registeredNumbers[1] == 1844,
          L"the main window registered for 1834 and 1844", r.registrations, true);

    // The device set changed: the plug-in reads it through the device service.
    SendMessageW(window, 1834, 0, 0);
    Pump(300);
    Check(r.devicesHanded == 1 && r.listsOut == 0, L"a device refresh took the device and released the list",
          r.devicesHanded, true);
    Check(r.lastBroadcast == 1734 && r.managersOut == 0, L"it asked to be shown (1734) and released the manager",
          static_cast<long>(r.lastBroadcast), true);
    const wchar_t kShowSelf[] = L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972|/ShowWindow=none|/ChangeViewWhileOnHomeControl=true";
    Check(mailboxText && SameText(mailboxText, kShowSelf), L"the mailbox holds the show-self command");
    Check(r.pluginStatesAsked >= 2, L"it asked the plug-in states of unlock and renewal", r.pluginStatesAsked, true);

    // The settings dialog: one page released, one deleted through its destructor slot.
    HWND dialog = MakeWindow(L"settings", nullptr);
    IConfigModule* page = config();
    Check(page != nullptr, L"OnInitPluginConfigModule gives a page object");
    if (!page) return 1;
    Check(page->Create(nullptr) == 1 && page->PageWindow() == nullptr, L"page slots 0 and 2 before creation");
    Check(SameText(page->Identifier(), kPluginId), L"page slot 4 is the plug-in's identifier");
    Check(page->CreatePage(dialog) == 1, L"page slot 3 creates the page");
    HWND pageWindow = page->PageWindow();
    Check(HasClass(pageWindow, L"ZentoLumoraPluginConfigModuleWnd") && GetParent(pageWindow) == dialog,
          L"the page is a child of the dialog");
    Check(page->CreatePage(dialog) == -1, L"a second creation is refused");
    Pump(100);
    DestroyWindow(dialog);
    Check(!IsWindow(pageWindow), L"the page goes with the dialog");
    page->Release();
    IConfigModule* other = config();
    if (other) {
        other->ResetIdentifier(0);
        delete other;
    }
    Check(other != nullptr, L"a page object deleted through its destructor slot");

    Check(release() == 0, L"OnReleasePlugins returns 0");
    Check(!IsWindow(window), L"the main window is gone");
    FreeLibrary(plugin);
    Check(GetModuleHandleW(L"LumoraPlugin.dll") == nullptr && GetModuleHandleW(L"ZENTO_Language.dll") == nullptr,
          L"the plug-in and the language library left the process");
    using CountFn = long(__cdecl*)();
    auto live = pki ? reinterpret_cast<CountFn>(GetProcAddress(pki, "ZentoPKIGetLiveObjectCount")) : nullptr;
    Check(live && live() == 0, L"no PKI handle left alive", live ? live() : -1, true);
    DestroyWindow(frame);
    if (mailboxText) UnmapViewOfFile(mailboxText);
    if (mailbox) CloseHandle(mailbox);
    return g_failures ? 1 : 0;
}

}  // namespace

extern "C" void __cdecl HostMain()
{
    const int result = Run();
    Write(result == 0 ? L"msvc-host: passed\r\n" : L"msvc-host: FAILED\r\n");
    ExitProcess(static_cast<UINT>(result));
}
