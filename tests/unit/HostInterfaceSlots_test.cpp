// The host interfaces are a binary contract: the host calls by slot number.
// Each test calls through the raw table index the host uses and checks which
// operation answered, so a reordered or inserted virtual cannot slip through.
#include <gtest/gtest.h>

#include <string>

#include "DuiLib/ScopedWin.h"
#include "Plugin/HostInterfaces.h"
#include "Plugin/LumoraPluginModule.h"
#include "Plugin/LumoraPluginView.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"

namespace {

#define THISCALL __attribute__((thiscall))

void* Slot(void* object, int index) { return (*reinterpret_cast<void***>(object))[index]; }

template <typename R, typename... A>
R CallSlot(void* object, int index, A... args)
{
    using Fn = R(THISCALL*)(void*, A...);
    return reinterpret_cast<Fn>(Slot(object, index))(object, args...);
}

// Every operation records its own name, so the slot that answered is known.
struct RecordingView final : IPluginView {
    std::string last;
    long Create(IPluginHost*) override { last = "Create"; return 0; }
    void Release() override { last = "Release"; }
    long GetAttachResult() override { last = "GetAttachResult"; return 0; }
    long GetIntegerA() override { last = "GetIntegerA"; return 0; }
    HINSTANCE GetInstance() override { last = "GetInstance"; return nullptr; }
    HWND GetWindow() override { last = "GetWindow"; return nullptr; }
    long GetIntegerB() override { last = "GetIntegerB"; return 0; }
    BSTR GetTitle() override { last = "GetTitle"; return nullptr; }
    BYTE GetFlag() override { last = "GetFlag"; return 0; }
    long OperationA(long, long) override { last = "OperationA"; return 0; }
    long OperationB(long, long) override { last = "OperationB"; return 0; }
};

struct ThreeDevices final : tamu::DeviceProvider {
    long Count() override { return 3; }
    unsigned long OpenDevice(long index) override { return 100 + static_cast<unsigned long>(index); }
    bool RemoveToken(const std::wstring&) override { return false; }
    bool InsertToken(const std::wstring&) override { return false; }
    std::vector<std::wstring> Serials() override { return {}; }
};

struct RecordingConfig final : IApplicationConfigModule {
    std::string last;
    long Create(IPluginHost*) override { last = "OneArgument"; return 1; }
    void Release() override { last = "Release"; }
    HWND GetPageWindow() override { last = "GetPageWindow"; return nullptr; }
    long CreatePage(HWND) override { last = "CreatePage"; return 1; }
    BSTR GetIdentifier() override { last = "GetIdentifier"; return nullptr; }
    void ResetIdentifier(long) override { last = "ResetIdentifier"; }
    void* DestroySelf(unsigned int flags) override
    {
        last = "DestroySelf" + std::to_string(flags);
        return this;
    }
};

}  // namespace

TEST(HostInterfaceSlots, PluginViewSlotsInHostOrder)
{
    RecordingView view;
    CallSlot<long>(&view, 0, static_cast<IPluginHost*>(nullptr));
    EXPECT_EQ("Create", view.last);
    CallSlot<void>(&view, 1);
    EXPECT_EQ("Release", view.last);
    const char* noArgument[] = {nullptr, nullptr, "GetAttachResult", "GetIntegerA", "GetInstance", "GetWindow",
                                "GetIntegerB", "GetTitle", "GetFlag"};
    for (int slot = 2; slot <= 8; ++slot) {
        SCOPED_TRACE(slot);
        CallSlot<long>(&view, slot);
        EXPECT_EQ(noArgument[slot], view.last);
    }
    CallSlot<long>(&view, 9, 1L, 2L);
    EXPECT_EQ("OperationA", view.last);
    CallSlot<long>(&view, 10, 1L, 2L);
    EXPECT_EQ("OperationB", view.last);
}

TEST(HostInterfaceSlots, ConfigModuleSlotsWithTheHostsDestructorSlot)
{
    RecordingConfig config;
    EXPECT_EQ(1, (CallSlot<long>(&config, 0, static_cast<IPluginHost*>(nullptr))));
    EXPECT_EQ("OneArgument", config.last);
    CallSlot<void>(&config, 1);
    EXPECT_EQ("Release", config.last);
    CallSlot<HWND>(&config, 2);
    EXPECT_EQ("GetPageWindow", config.last);
    CallSlot<long>(&config, 3, static_cast<HWND>(nullptr));
    EXPECT_EQ("CreatePage", config.last);
    CallSlot<BSTR>(&config, 4);
    EXPECT_EQ("GetIdentifier", config.last);
    CallSlot<void>(&config, 5, 0L);
    EXPECT_EQ("ResetIdentifier", config.last);
    // The host's destructor slot takes one flags word and cleans it off the
    // stack itself; a mismatch here would corrupt the caller's stack.
    EXPECT_EQ(static_cast<void*>(&config), (CallSlot<void*>(&config, 6, 0u)));
    EXPECT_EQ("DestroySelf0", config.last);
}

TEST(HostInterfaceSlots, ModuleAnswersItsConstantsAndStartsAndReleasesBySlot)
{
    testsupport::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    tamu::HostOptions options;
    options.createWindow = false;
    tamu::Host host(options);
    auto* module = new CLumoraPluginModule(&host, GetModuleHandleW(nullptr));
    EXPECT_EQ(1, CallSlot<long>(module, 0));
    BSTR name = CallSlot<BSTR>(module, 1);
    ASSERT_NE(nullptr, name);
    EXPECT_EQ(0u, SysStringLen(name));
    EXPECT_EQ(0, CallSlot<long>(module, 2));
    // Slot 3 starts the module: its view then holds the host's container
    // (slot 4 in its place would free the module instead).
    EXPECT_EQ(0, CallSlot<long>(module, 3));
    EXPECT_NE(nullptr, module->View().Container());
    // A headless host's container gives no parent window: no view window, nothing attached.
    EXPECT_EQ(nullptr, module->View().GetWindow());
    EXPECT_EQ(nullptr, host.AttachedView());
    // Slot 4 releases and frees the module.
    EXPECT_EQ(0, CallSlot<long>(module, 4));
}

TEST(HostInterfaceSlots, HostObjectsAnswerBySlot)
{
    tamu::HostOptions options;
    options.languageId = 1041;
    options.createWindow = false;
    tamu::Host host(options);
    EXPECT_EQ(1041, CallSlot<long>(&host, 2));

    IPluginObject* object = nullptr;
    EXPECT_EQ(0, (CallSlot<long>(&host, 8, &HostGuids::MessageService, &object)));
    ASSERT_NE(nullptr, object);
    auto* manager = CallSlot<IMessageEventManager*>(object, 2);
    ASSERT_NE(nullptr, manager);
    EXPECT_EQ(1, host.LiveManagers());

    DuiLib::ScopedWindow owner(
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr));
    HWND window = owner.get();
    EXPECT_EQ(0, (CallSlot<long>(manager, 2, window, 1834u)));
    EXPECT_EQ(1u, host.Registrations().at(1834).count(window));
    EXPECT_EQ(0, (CallSlot<long>(manager, 5, 1834u, static_cast<WPARAM>(7), static_cast<LPARAM>(8))));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, window, 1834, 1834, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
    EXPECT_EQ(8, msg.lParam);
    CallSlot<void>(manager, 1);
    EXPECT_EQ(0, host.LiveManagers());

    object = nullptr;
    EXPECT_EQ(0, (CallSlot<long>(&host, 8, &HostGuids::DeviceService, &object)));
    ASSERT_NE(nullptr, object);
    auto* list = CallSlot<IHostDeviceList*>(object, 2);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(0, CallSlot<long>(list, 2));                 // no provider: no devices
    EXPECT_EQ(0u, (CallSlot<unsigned long>(list, 4, 0L)));
    CallSlot<void>(list, 1);
    EXPECT_EQ(0, host.LiveDeviceLists());

    // With devices, count and device answer from their own slots.
    ThreeDevices devices;
    host.SetDeviceProvider(&devices);
    list = CallSlot<IHostDeviceList*>(object, 2);
    EXPECT_EQ(3, CallSlot<long>(list, 2));
    EXPECT_EQ(0, CallSlot<long>(list, 3));
    EXPECT_EQ(101u, (CallSlot<unsigned long>(list, 4, 1L)));
    CallSlot<void>(list, 1);
    host.SetDeviceProvider(nullptr);

    object = nullptr;
    EXPECT_EQ(0, (CallSlot<long>(&host, 8, &HostGuids::ViewContainer, &object)));
    ASSERT_NE(nullptr, object);
    EXPECT_EQ(nullptr, CallSlot<HWND>(object, 2));  // headless: no parent window
    EXPECT_EQ(nullptr, host.AttachedView());
    RecordingView view;
    EXPECT_EQ(0, (CallSlot<long>(object, 3, static_cast<IPluginView*>(&view))));
    EXPECT_EQ(&view, host.AttachedView());
}

