// The settings page through the host's real settings dialog and the real plug-in library, and
// in-process for what the host never does.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "Cert/CertExport.h"
#include "DialogDriver.h"
#include "Plugin/ConfigModule.h"
#include "ProductUi.h"
#include "Screenshot.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "UI/UIConfigModuleWnd.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

using namespace DuiLib;
using namespace dialogdriver;

namespace {

const wchar_t* const kOptionNames[] = {
    L"Option_IsShowNotifyDeviceWnd",
    L"Option_IsShowNotifyCertWnd",
    L"Option_IsShowNotifyCertWnd_NoDevice",
    L"Option_IsShowSelfWhileUSBKeyInsert",
    L"Option_IsCouldModifyPasswordWhileSecurityWeak",
    L"Option_OpenLog",
};
// The INI key each option above writes.
const char* const kOptionKeys[] = {
    "IsShowNotifyDeviceWnd",
    "IsShowNotifyCertWnd",
    "IsShowNotifyNoDeviceCertExpireWnd",
    "IsShowSelfWhileInsertUSBKey",
    "IsCouldModifyPasswordWhileSecurityWeak",
    "IsWriteLog",
};

const char kUserIni[] =
    "[NotifyWndSetting]\r\n"
    "IsShowNotifyDeviceWnd=false\r\n"
    "IsShowNotifyCertWnd=true\r\n"
    "IsShowNotifyNoDeviceCertExpireWnd=false\r\n"
    "[UserSetting]\r\n"
    "IsShowSelfWhileInsertUSBKey=true\r\n"
    "IsCouldModifyPasswordWhileSecurityWeak=false\r\n"
    "ExportFormat=PKCS7\r\n"
    "[Log]\r\n"
    "IsWriteLog=false\r\n"
    "[Other]\r\n"
    "KeepMe=untouched\r\n";
const bool kUserIniStates[] = {false, true, false, true, false, false};

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// What the driver reads of the page, always on the window thread.
struct PageState {
    std::vector<bool> options;
    int comboSelection = -2;
    std::wstring comboText;
    std::wstring exportFormatText;
    std::wstring noticeText;
};

CUIWnd* PageObject(HWND page)
{
    return reinterpret_cast<CUIWnd*>(::GetWindowLongPtrW(page, GWLP_USERDATA));
}

PageState ReadPage(HWND page)
{
    PageState state;
    CPaintManagerUI& pm = PageObject(page)->GetPaintManager();
    for (const wchar_t* name : kOptionNames) {
        auto* option = ControlCast<COptionUI>(pm.FindControl(name));
        state.options.push_back(option && option->IsSelected());
    }
    if (auto* combo = ControlCast<CComboUI>(pm.FindControl(L"Combo_CertRemaindaysSetting"))) {
        state.comboSelection = combo->GetCurSel();
        if (CControlUI* item = combo->GetItemAt(combo->GetCurSel())) state.comboText = item->GetText();
    }
    if (auto* combo = ControlCast<CComboUI>(pm.FindControl(L"Combo_ExportFormat")))
        state.exportFormatText = combo->GetText();
    if (CControlUI* notice = pm.FindControl(L"Label_Notice_Msg")) state.noticeText = notice->GetText();
    return state;
}

void ClickControl(HWND page, const wchar_t* name)
{
    CControlUI* control = PageObject(page)->GetPaintManager().FindControl(name);
    if (!control) return;
    RECT rc = control->GetPos();
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    ::SendMessageW(page, WM_MOUSEMOVE, 0, at);
    ::SendMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(page, WM_LBUTTONUP, 0, at);
}

// The host with the real plug-in library, in the sandbox of ProductUi.
class HostDialogTest : public testing::Test {
protected:
    void StartHost(long languageId)
    {
        tamu::HostOptions options;
        options.languageId = languageId;
        options.pluginPath = tamu::BesideProgram(L"LumoraPlugin.dll");
        host_ = std::make_unique<tamu::Host>(options);
        ASSERT_TRUE(host_->Start());
        ASSERT_TRUE(host_->LoadPlugin());
    }
    void TearDown() override
    {
        if (host_) host_->UnloadPlugin();
        host_.reset();
    }
    // Opens the host's settings dialog; `script` runs on the driver thread
    // with the dialog and the page once the page has set itself up, and must
    // end by closing the dialog (CloseDialog).
    void RunDialog(const std::function<void(HWND dialog, HWND page)>& script)
    {
        UiThreadRunner runner;
        runner_ = &runner;
        bool scriptRan = false;
        Driver driver([&] {
            HWND dialog = WaitForWindowOfClass(L"TamuHostSettingsDialog");
            HWND page =
                dialog ? ::FindWindowExW(dialog, nullptr, CUIConfigModuleWnd::kClassName, nullptr) : nullptr;
            if (!page) {
                if (dialog) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
                return;
            }
            // The page sets itself up at its first layout.
            Poll([&] {
                bool ready = false;
                runner.Run(page, [&] { ready = !ReadPage(page).noticeText.empty(); });
                return ready;
            });
            scriptRan = true;
            script(dialog, page);
        });
        host_->ShowSettingsDialog(host_->MainWindow());
        driver.Join();
        runner_ = nullptr;
        EXPECT_TRUE(scriptRan) << "the settings dialog showed no page";
    }
    void OnUi(HWND window, const std::function<void()>& code) { runner_->Run(window, code); }
    static void CloseDialog(HWND dialog)
    {
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        WaitGone(dialog);
    }
    std::string UserIni() const { return ui_->ReadUserIni(); }

    std::unique_ptr<productui::ProductUi> ui_;
    std::unique_ptr<tamu::Host> host_;
    UiThreadRunner* runner_ = nullptr;
};

class SettingsPageInHost : public HostDialogTest, public testing::WithParamInterface<int> {};

TEST_P(SettingsPageInHost, OptionsShowStoredValuesAndTheDialogIsRendered)
{
    ui_ = std::make_unique<productui::ProductUi>(GetParam());
    // The lead time comes from the installation-wide file: showing the page
    // writes it back to the user's file.
    ASSERT_TRUE(ui_->Sandbox().WriteCommonIni("[NotifyWndSetting]\r\nNotifyCertDay=30\r\n"));
    ASSERT_TRUE(ui_->Sandbox().WriteUserIni(kUserIni));
    StartHost(GetParam());

    PageState shown;
    const std::wstring lang = GetParam() == 2052 ? L"zh" : L"en";
    bool captured = false;
    RunDialog([&](HWND dialog, HWND page) {
        OnUi(page, [&] {
            shown = ReadPage(page);
            captured = tamu::CaptureWindowToPng(
                dialog, testsupport::ScreenshotPath(L"SettingsDialog_" + lang + L".png"));
            productui::ExpectReadableAtBothScales(page, PageObject(page)->GetPaintManager());
        });
        CloseDialog(dialog);
    });

    EXPECT_EQ(std::vector<bool>(std::begin(kUserIniStates), std::end(kUserIniStates)), shown.options);
    EXPECT_EQ(1, shown.comboSelection);
    EXPECT_EQ(GetLanguageString("STRING_LABEL_EXPIRE_ITEM_30"), shown.comboText);
    EXPECT_EQ(CertFileTypeName(CertFileFormat::Pkcs7), shown.exportFormatText);
    EXPECT_EQ(GetLanguageString("STRING_CONFIG_NOTIFYMSG"), shown.noticeText);
    std::string ini = UserIni();
    EXPECT_EQ(1u, Count(ini, "NotifyCertDay=30"));
    EXPECT_EQ(1u, Count(ini, "KeepMe=untouched"));
    EXPECT_TRUE(captured);
}

INSTANTIATE_TEST_SUITE_P(Languages, SettingsPageInHost, testing::Values(2052, 1033));

// Answers the shell's "open" of a folder with a command that records what it
// was asked to open, and puts the previous answer back afterwards.
class ShellOpenStandIn {
public:
    explicit ShellOpenStandIn(const std::wstring& marker)
    {
        const std::wstring command = L"cmd.exe /c echo %1> \"" + marker + L"\"";
        for (const wchar_t* cls : {L"Folder\\shell\\open\\command", L"Directory\\shell\\open\\command"}) {
            Saved saved{cls, Read(cls)};
            if (Write(cls, &command)) m_saved_.push_back(saved);
        }
    }
    ~ShellOpenStandIn()
    {
        for (const Saved& saved : m_saved_) Write(saved.path.c_str(), saved.value ? &*saved.value : nullptr);
    }

private:
    struct Saved {
        std::wstring path;
        std::optional<std::wstring> value;  // none: there was no value
    };
    static std::optional<std::wstring> Read(const wchar_t* path)
    {
        wchar_t old[1024] = {};
        DWORD size = sizeof(old);
        const DWORD types = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
        if (::RegGetValueW(HKEY_CLASSES_ROOT, path, nullptr, types, nullptr, old, &size) != ERROR_SUCCESS)
            return std::nullopt;
        return std::wstring(old);
    }
    // Sets the key's default value, or deletes it when value is null.
    static bool Write(const wchar_t* path, const std::wstring* value)
    {
        ScopedRegKey key;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
            ERROR_SUCCESS)
            return false;
        if (!value) return ::RegDeleteValueW(key.get(), nullptr) == ERROR_SUCCESS;
        return ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                                static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    std::vector<Saved> m_saved_;
};

TEST_F(HostDialogTest, OpenLogMakesTheMissingFolderAndAsksTheShellToOpenIt)
{
    ui_ = std::make_unique<productui::ProductUi>(2052);
    testsupport::TempDir markerDir(L"shell");
    const std::wstring marker = markerDir.File(L"opened.txt");
    ShellOpenStandIn shell(marker);
    StartHost(2052);
    const std::wstring logFolder = ui_->Sandbox().UserProductFolder() + L"\\log";
    bool missingBefore = false;
    RunDialog([&](HWND dialog, HWND page) {
        testsupport::RemoveTree(logFolder);
        missingBefore = !testsupport::FileExists(logFolder);
        OnUi(page, [&] { ClickControl(page, L"Button_OpenLogPath"); });
        // The redirection makes the file before the echo fills it.
        Poll([&] {
            std::string bytes;
            return testsupport::ReadFileBytes(marker, bytes) && bytes.find('\n') != std::string::npos;
        }, 15000);
        CloseDialog(dialog);
    });
    EXPECT_TRUE(missingBefore);
    EXPECT_TRUE(::GetFileAttributesW(logFolder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(logFolder.c_str()));
    std::string opened;
    ASSERT_TRUE(testsupport::ReadFileBytes(marker, opened)) << "the shell was not asked to open anything";
    // The folder's name ends the path the shell was given.
    EXPECT_NE(std::string::npos, opened.find("\\log")) << opened;
}

TEST_F(HostDialogTest, EachOpeningGetsAFreshPageAndAnUnwritableOrDamagedUserIniKeepsItsContent)
{
    ui_ = std::make_unique<productui::ProductUi>(2052);
    testsupport::MakeFolders(ui_->Sandbox().UserProductFolder());
    const std::wstring path = ui_->Sandbox().UserIniPath();

    // Unwritable: the page shows the values, a change holds until unload, the
    // file stays byte for byte. The tests run as an administrator, whom a
    // read-only attribute does not stop; a handle that denies writing does.
    ASSERT_TRUE(testsupport::WriteFileBytes(path, kUserIni));
    HANDLE holder = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    StartHost(2052);
    PageState first, reopened;
    HWND firstPage = nullptr, secondPage = nullptr;
    RunDialog([&](HWND dialog, HWND page) {
        firstPage = page;
        OnUi(page, [&] {
            first = ReadPage(page);
            ClickControl(page, L"Option_IsShowNotifyDeviceWnd");
        });
        CloseDialog(dialog);
    });
    EXPECT_FALSE(::IsWindow(firstPage));
    RunDialog([&](HWND dialog, HWND page) {
        secondPage = page;
        OnUi(page, [&] { reopened = ReadPage(page); });
        CloseDialog(dialog);
    });
    EXPECT_NE(firstPage, secondPage);
    host_->UnloadPlugin();
    ::CloseHandle(holder);
    EXPECT_EQ(std::vector<bool>(std::begin(kUserIniStates), std::end(kUserIniStates)), first.options);
    ASSERT_EQ(6u, reopened.options.size());
    EXPECT_TRUE(reopened.options[0]) << "the reopened page shows the last change";
    EXPECT_EQ(std::string(kUserIni), UserIni());

    // Damaged: lines that are no settings around the real ones.
    const std::string damaged =
        std::string("\xEF\xBB\xBF garbage without equals\r\n[NotifyWndSetting\r\n=novalue\r\n") + kUserIni +
        "\x01\x02\xFF binary tail\r\n";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, damaged));
    UserSettings::Instance().ResetForTesting();
    StartHost(2052);
    PageState fromDamaged;
    RunDialog([&](HWND dialog, HWND page) {
        OnUi(page, [&] {
            fromDamaged = ReadPage(page);
            ClickControl(page, L"Option_IsShowSelfWhileUSBKeyInsert");
        });
        CloseDialog(dialog);
    });
    ASSERT_EQ(6u, fromDamaged.options.size());
    EXPECT_FALSE(fromDamaged.options[0]);
    EXPECT_TRUE(fromDamaged.options[3]);
    std::string after = UserIni();
    EXPECT_EQ(1u, Count(after, "IsShowSelfWhileInsertUSBKey=false"));
    for (const char* kept :
         {"KeepMe=untouched", "IsShowNotifyCertWnd=true", "IsWriteLog=false", "binary tail"}) {
        EXPECT_EQ(1u, Count(after, kept)) << kept;
    }
}

// ---- In-process: the settings object itself ---------------------------------------------

class SettingsObjectTest : public testing::Test {
protected:
    SettingsObjectTest()
    {
        parent_ = ::CreateWindowExW(0, L"STATIC", L"settings", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 50,
                                    50, 820, 620, nullptr, nullptr, nullptr, nullptr);
    }
    ~SettingsObjectTest() override
    {
        if (::IsWindow(parent_)) ::DestroyWindow(parent_);
        testsupport::PumpMessages();
    }
    // Shows the page and waits for its set-up.
    static bool WaitForSetUp(HWND page)
    {
        ::ShowWindow(page, SW_SHOW);
        return testsupport::WaitFor([&] { return !ReadPage(page).noticeText.empty(); });
    }

    productui::ProductUi ui_{2052};
    HWND parent_ = nullptr;
};

TEST_F(SettingsObjectTest, SecondCreateIsRefusedAndTheIdentifierIsTheProducts)
{
    auto* module = new CConfigModule();
    EXPECT_EQ(1, module->Create(nullptr));
    EXPECT_EQ(nullptr, module->GetPageWindow());
    EXPECT_EQ(1, module->CreatePage(parent_));
    HWND page = module->GetPageWindow();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(parent_, ::GetParent(page));
    EXPECT_EQ(-1, module->CreatePage(parent_));
    EXPECT_EQ(page, module->GetPageWindow());
    EXPECT_STREQ(L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972", module->GetIdentifier());
    module->ResetIdentifier(1);
    EXPECT_NE(nullptr, module->GetIdentifier());
    module->ResetIdentifier(0);
    EXPECT_EQ(nullptr, module->GetIdentifier());
    module->Release();
    EXPECT_TRUE(::IsWindow(page));  // released, not destroyed: it goes with its dialog
}

bool AllBytes(const unsigned char* data, size_t size, unsigned char value)
{
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != value) return false;
    }
    return true;
}

TEST_F(SettingsObjectTest, ClosingAndReleasingInEitherOrderTouchNoFreedMemory)
{
    constexpr unsigned char kPoison = 0xA5;
    // The check sees a write: a page still linked into poisoned memory
    // clears its pointer there when it goes.
    {
        alignas(8) unsigned char poisoned[16];
        std::memset(poisoned, kPoison, sizeof(poisoned));
        auto* page = new CUIConfigModuleWnd();
        page->SetOwnerLink(reinterpret_cast<CUIConfigModuleWnd**>(poisoned + 8));
        ASSERT_TRUE(page->CreateWnd(CWnd::FromHandle(parent_)));
        ::DestroyWindow(page->GetSafeHwnd());
        EXPECT_FALSE(AllBytes(poisoned, sizeof(poisoned), kPoison));
    }
    // Released first (the host's destructor slot, memory kept so it can be
    // poisoned like a freed block), the dialog closed after.
    {
        alignas(CConfigModule) unsigned char storage[sizeof(CConfigModule)];
        auto* module = new (storage) CConfigModule();
        ASSERT_EQ(1, module->CreatePage(parent_));
        HWND page = module->GetPageWindow();
        ASSERT_TRUE(WaitForSetUp(page));
        module->DestroySelf(0);
        std::memset(storage, kPoison, sizeof(storage));
        ::DestroyWindow(page);
        testsupport::PumpMessages();
        EXPECT_FALSE(::IsWindow(page));
        EXPECT_TRUE(AllBytes(storage, sizeof(storage), kPoison));
    }
    // Closed first, released after: the object has already forgotten the page.
    {
        auto* module = new CConfigModule();
        ASSERT_EQ(1, module->CreatePage(parent_));
        HWND page = module->GetPageWindow();
        ::DestroyWindow(page);
        EXPECT_EQ(nullptr, module->GetPage());
        EXPECT_EQ(nullptr, module->GetPageWindow());
        module->Release();
    }
}

TEST_F(SettingsObjectTest, UnmatchedLeadTimeSelectsNothingAndItemsThatAreNoPositiveNumberWriteNothing)
{
    // The product's skin with two extra items.
    std::string skin;
    ASSERT_TRUE(testsupport::ReadFileBytes(testsupport::SourceDir() + L"\\skin\\ConfigModuleSkin.xml", skin));
    const std::string last = "<ComboItem text=\"15\" userdata=\"15\"/>";
    size_t at = skin.find(last);
    ASSERT_NE(std::string::npos, at);
    skin.insert(at + last.size(),
                "<ComboItem text=\"0\" userdata=\"0\"/><ComboItem text=\"-7\" userdata=\"-7\"/>");
    testsupport::TempDir skins(L"skin");
    ASSERT_TRUE(testsupport::WriteFileBytes(skins.File(L"ConfigModuleSkin.xml"), skin));
    CPaintManagerUI::SetResourcePath(skins.Path());

    ASSERT_TRUE(ui_.Sandbox().WriteUserIni("[NotifyWndSetting]\r\nNotifyCertDay=45\r\n"));
    UserSettings::Instance().Load();

    auto* module = new CConfigModule();
    ASSERT_EQ(1, module->CreatePage(parent_));
    HWND page = module->GetPageWindow();
    ASSERT_TRUE(WaitForSetUp(page));
    auto* combo = ControlCast<CComboUI>(
        PageObject(page)->GetPaintManager().FindControl(L"Combo_CertRemaindaysSetting"));
    ASSERT_NE(nullptr, combo);
    ASSERT_EQ(5, combo->GetCount());
    EXPECT_EQ(-1, combo->GetCurSel());
    // The extra items have no language text: the skin's text stays.
    EXPECT_EQ(L"-7", combo->GetItemAt(4)->GetText());
    for (int index : {3, 4}) {
        SCOPED_TRACE(index);
        combo->SelectItem(index, false, true);
        EXPECT_EQ(45, UserSettings::Instance().GetNotifyCertDay());
        EXPECT_EQ(1u, Count(ui_.ReadUserIni(), "NotifyCertDay=45"));
    }
    combo->SelectItem(1, false, true);
    EXPECT_EQ(0u, Count(ui_.ReadUserIni(), "NotifyCertDay=45"));
    EXPECT_EQ(1u, Count(ui_.ReadUserIni(), "NotifyCertDay=30"));
    module->Release();
}

}  // namespace

TEST_F(HostDialogTest, EveryOptionTheLeadTimeAndTheExportFormatByKeyboard)
{
    ui_ = std::make_unique<productui::ProductUi>(2052);
    ASSERT_TRUE(ui_->Sandbox().WriteUserIni(kUserIni));
    StartHost(2052);
    std::vector<std::wstring> order;
    std::vector<std::string> notWritten;
    int comboBefore = -2, comboAfter = -2;
    bool exportFormatWritten = false;
    RunDialog([&](HWND dialog, HWND page) {
        CPaintManagerUI* pm = nullptr;
        OnUi(page, [&] { pm = &PageObject(page)->GetPaintManager(); });
        auto focused = [&] {
            std::wstring name;
            OnUi(page, [&] { name = pm->GetFocus() ? pm->GetFocus()->GetName() : L""; });
            return name;
        };
        auto comboSelection = [&] {
            int selection = -2;
            OnUi(page, [&] { selection = ControlCast<CComboUI>(pm->GetFocus())->GetCurSel(); });
            return selection;
        };
        // A key as the window that has the focus receives it, on its own thread.
        auto key = [&](UINT vk) {
            OnUi(page, [&] {
                ::SendMessageW(page, WM_KEYDOWN, vk, 1);
                ::SendMessageW(page, WM_KEYUP, vk, 0xC0000001);
            });
        };
        OnUi(page, [&] { ::SetFocus(page); });
        // Tab visits every option, the lead time, the export format and the
        // log folder button; Space turns the focused option over and writes
        // it at once, Down chooses the next lead time, Up the format before.
        for (int i = 0; i < 9; ++i) {
            key(VK_TAB);
            order.push_back(focused());
            for (size_t o = 0; o < 6; ++o) {
                if (order.back() != kOptionNames[o]) continue;
                key(VK_SPACE);
                const std::string written = std::string(kOptionKeys[o]) + (kUserIniStates[o] ? "=false" : "=true");
                if (!Poll([&] { return Count(UserIni(), written) == 1; })) notWritten.push_back(written);
            }
            if (order.back() == L"Combo_CertRemaindaysSetting") {
                comboBefore = comboSelection();
                key(VK_DOWN);
                comboAfter = comboSelection();
            }
            if (order.back() == L"Combo_ExportFormat") {
                key(VK_UP);  // from the stored PKCS #7 to Base64
                exportFormatWritten = Poll([&] { return Count(UserIni(), "ExportFormat=Base64") == 1; });
            }
        }
        CloseDialog(dialog);
    });
    // The page's focus chose no control by itself: the first Tab is the first option.
    const std::vector<std::wstring> expected = {kOptionNames[0], kOptionNames[1], L"Combo_CertRemaindaysSetting",
                                                kOptionNames[2], kOptionNames[3], kOptionNames[4],
                                                L"Combo_ExportFormat", kOptionNames[5], L"Button_OpenLogPath"};
    EXPECT_EQ(expected, order);
    EXPECT_TRUE(notWritten.empty()) << notWritten.front();
    EXPECT_EQ(comboBefore + 1, comboAfter);
    EXPECT_TRUE(exportFormatWritten);
}
