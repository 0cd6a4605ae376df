// The main window end to end: our host in-process with fixture tokens in its store, the plug-in started
// through its entry point, and the certificate view's actions driven through the real dialogs.
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>
#include <shlobj.h>
#include <dlgs.h>
#include <wincrypt.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <sstream>

#include "Cert/DeviceRecord.h"
#include "AccessibleWalker.h"
#include "Cert/ZentoPKI.h"
#include "ClipboardReader.h"
#include "DialogDriver.h"
#include "HighContrastScope.h"
#include "KeyInput.h"
#include "Openssl.h"
#include "PixelProbe.h"
#include "ProductUi.h"
#include "ReaderClient.h"
#include "ZentoPKITestSupport.h"
#include "HostTokenStore.h"
#include "ZentoPKIHost.h"
#include "Plugin/HostInterfaces.h"
#include "Plugin/PluginEntry.h"
#include "SettingsFolders.h"
#include "Screenshot.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "UI/MenuWnd.h"
#include "UI/UIMainFrame.h"
#include "UI/UIModifyPasswordDlg.h"
#include "Utils/LanguageStrings.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"

using namespace DuiLib;
using dialogdriver::BoxSeen;
using dialogdriver::DialogAnswers;

namespace {

void ClearClipboard()
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

// The clipboard's CF_TEXT (empty when there is none), checked against the
// value as the system code page spells it, and under Chinese Windows as GBK.
void ExpectClipboardHolds(const std::wstring& value, const char* gbk)
{
    const std::string copied = testsupport::ClipboardText();
    EXPECT_EQ(WideToAnsi(value), copied);
    EXPECT_EQ(value, testsupport::ClipboardUnicodeText()) << "whole as Unicode text, whatever the code page";
    if (GetACP() == 936) {
        EXPECT_EQ(gbk, copied) << "GBK under Chinese Windows";
    }
}

// One export format as the two readers must see its files: what crypt32's
// CryptQueryObject takes them for, and openssl's form.
struct ExportFormatRow {
    CertFileFormat format;
    DWORD content;
    DWORD formatType;
};
const ExportFormatRow kExportFormats[] = {
    {CertFileFormat::Der, CERT_QUERY_CONTENT_CERT, CERT_QUERY_FORMAT_BINARY},
    {CertFileFormat::Base64, CERT_QUERY_CONTENT_CERT, CERT_QUERY_FORMAT_BASE64_ENCODED},
    {CertFileFormat::Pkcs7, CERT_QUERY_CONTENT_PKCS7_SIGNED, CERT_QUERY_FORMAT_BINARY},
};

// The SHA-1 thumbprints of an exported file's certificates as openssl reads
// them; crypt32 must read the same ones, from the file taken for what the
// format says it is.
std::multiset<std::string> ExportedThumbprints(const std::wstring& path, const ExportFormatRow& row)
{
    SCOPED_TRACE(testsupport::ToUtf8(path));
    std::multiset<std::string> openssl, crypt32;
    std::string bytes;
    EXPECT_TRUE(testsupport::ReadFileBytes(path, bytes));
    if (row.format == CertFileFormat::Pkcs7) {
        // openssl's PKCS #7 reader refuses the certificates-only message of
        // Wine's crypt32, which leaves out the empty digestAlgorithms and
        // signerInfos sets that Windows writes; its structure reader shows
        // the signed data and each certificate in the [0] of its content.
        const std::string tree = testsupport::Openssl(L"asn1parse -inform DER", bytes);
        EXPECT_NE(std::string::npos, tree.find(":pkcs7-signedData"));
        std::istringstream lines(tree);
        bool inCertificates = false;
        for (std::string line; std::getline(lines, line);) {
            if (line.find("d=3") != std::string::npos) {
                inCertificates = line.find("cont [ 0 ]") != std::string::npos;
            } else if (inCertificates && line.find("d=4") != std::string::npos) {
                const size_t at = static_cast<size_t>(atoi(line.c_str()));
                const size_t size = static_cast<size_t>(atoi(line.c_str() + line.find("hl=") + 3) +
                                                        atoi(line.c_str() + line.find(" l=") + 3));
                openssl.insert(testsupport::OpensslSha1(bytes.substr(at, size), L"DER"));
            }
        }
    } else {
        openssl.insert(testsupport::OpensslSha1(bytes, row.format == CertFileFormat::Der ? L"DER" : L"PEM"));
    }
    if (row.format == CertFileFormat::Base64) {
        EXPECT_EQ(0u, bytes.find("-----BEGIN CERTIFICATE-----\r\n"));
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'))
            << "CRLF line ends";
    }
    DWORD content = 0, formatType = 0;
    HCERTSTORE store = nullptr;
    EXPECT_TRUE(CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_ALL,
                                 CERT_QUERY_FORMAT_FLAG_ALL, 0, nullptr, &content, &formatType, &store, nullptr,
                                 nullptr));
    EXPECT_EQ(row.content, content);
    EXPECT_EQ(row.formatType, formatType);
    for (PCCERT_CONTEXT c = nullptr; store && (c = CertEnumCertificatesInStore(store, c)) != nullptr;) {
        BYTE hash[20] = {};
        DWORD size = sizeof(hash);
        EXPECT_TRUE(CertGetCertificateContextProperty(c, CERT_SHA1_HASH_PROP_ID, hash, &size));
        char hex[41] = {};
        for (int i = 0; i < 20; ++i) snprintf(hex + 2 * i, 3, "%02X", hash[i]);
        crypt32.insert(hex);
    }
    if (store) CertCloseStore(store, 0);
    EXPECT_EQ(openssl, crypt32);
    return openssl;
}

// openssl's SHA-1 thumbprint of a generated certificate (its answer file).
std::string FixtureSha1(const wchar_t* name)
{
    const std::wstring suffix = std::wstring(L"\\") + name + L".cer";
    for (const auto& a : pkitest::ReadAnswers(pkitest::CertsDir() + L"\\generated.tsv")) {
        if (a.path.size() > suffix.size() && a.path.compare(a.path.size() - suffix.size(), suffix.size(), suffix) == 0)
            return a.sha1;
    }
    return std::string();
}

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return counters.PrivateUsage;
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_ui_.Sandbox().ok());
        m_store_ = std::make_unique<testsupport::TempDir>(L"store");
        StartHost(2052);
    }

    void StartHost(long languageId)
    {
        m_devices_.reset();
        tamu::HostOptions options;
        options.languageId = languageId;
        m_host_ = std::make_unique<tamu::Host>(options);
        ASSERT_TRUE(m_host_->Start());
        m_devices_ = std::make_unique<tamu::TokenStoreDevices>(*m_host_, m_store_->Path());
        // Device events come from the test alone, so every count below is exact.
        m_devices_->Service().SetChangeCallback(nullptr);
    }

    void TearDown() override
    {
        PluginEntry::OnReleasePlugins();
        m_devices_.reset();
        m_host_.reset();
    }

    // Starts the plug-in with the settings given as (section, key, value).
    void Start(std::initializer_list<std::array<const wchar_t*, 3>> settings = {})
    {
        // The product makes its folder only when it starts: the settings go there first.
        ASSERT_TRUE(testsupport::MakeFolders(m_ui_.Sandbox().UserProductFolder()));
        for (const auto& s : settings)
            ASSERT_TRUE(WritePrivateProfileStringW(s[0], s[1], s[2], m_ui_.Sandbox().UserIniPath().c_str()));
        ASSERT_EQ(0, PluginEntry::OnInitPlugins(m_host_.get()));
        m_frame_ = static_cast<CUIMainFrame*>(CWnd::FromHandlePermanent(g_hMainFrameWnd));
        ASSERT_NE(nullptr, m_frame_);
    }

    void Insert(const wchar_t* token) { ASSERT_TRUE(m_devices_->InsertToken(pkitest::TokensDir() + L"\\" + token)); }
    // The plug-in started with these keys in the store and showing them.
    void StartWith(std::initializer_list<const wchar_t*> tokens,
                   std::initializer_list<std::array<const wchar_t*, 3>> settings = {})
    {
        for (const wchar_t* token : tokens) Insert(token);
        Start(settings);
        DeviceEvent();
    }

    // One device event, handled now.
    void DeviceEvent()
    {
        m_frame_->SendMessage(kHostMsgDeviceChanged, 0, 0);
        testsupport::PumpMessages();
    }

    // The plug-in started afresh in a language, showing the two keys of the store.
    void RestartShowingTwoKeys(long language)
    {
        PluginEntry::OnReleasePlugins();
        StartHost(language);
        Start();
        DeviceEvent();
        ASSERT_EQ(2, KeyPages()->GetCount());
    }

    CPaintManagerUI& Pm() { return m_frame_->GetPaintManager(); }
    template <class T = CControlUI>
    T* Find(const wchar_t* name, CControlUI* parent = nullptr)
    {
        return ControlCast<T>(parent ? Pm().FindSubControlByName(parent, name) : Pm().FindControl(name));
    }
    int MainPage() { return Find<CTabLayoutUI>(L"TabLayout_Cert_MainView")->GetCurSel(); }
    CContainerUI* KeyList() { return Find<CContainerUI>(L"VLayout_LeftDevices_Items"); }
    CTabLayoutUI* KeyPages() { return Find<CTabLayoutUI>(L"TLayout_MainCertView"); }
    // A key's page, built as its first showing builds it, whether shown or not.
    CControlUI* Page(int index)
    {
        m_frame_->EnsureDevicePage(index);
        return KeyPages()->GetItemAt(index);
    }
    // Name items of a key page, group by group.
    std::vector<CControlUI*> NameItems(int page)
    {
        std::vector<CControlUI*> items;
        auto* groups = Find<CContainerUI>(L"VLayout_AllCertView", Page(page));
        for (int g = 0; g < groups->GetCount(); ++g) {
            auto* names = Find<CContainerUI>(L"VLayout_CertItemsDispalyName", groups->GetItemAt(g));
            for (int i = 0; i < names->GetCount(); ++i) items.push_back(names->GetItemAt(i));
        }
        return items;
    }
    CControlUI* ExportButton(int page, int group)
    {
        auto* groups = Find<CContainerUI>(L"VLayout_AllCertView", Page(page));
        return Find(L"Button_Export", groups->GetItemAt(group));
    }
    // Clicks a group's export button, chooses folder in the folder browser
    // and answers the message; what the dialogs showed. Under Wine the
    // browser's own preselection of the last folder races with its tree
    // being filled, so the folder is selected here before OK, as a user would.
    std::vector<BoxSeen> ExportGroupTo(CControlUI* exportButton, const std::wstring& folder,
                                       const std::function<void()>& press = nullptr,
                                       const std::function<void()>& beforeOk = nullptr)
    {
        m_frame_->lastExportFolder = folder;
        DialogAnswers answers([&](HWND dialog, const BoxSeen&) {
            if (FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr) ||
                FindWindowExW(dialog, nullptr, L"SHBrowseForFolder ShellNameSpace Control", nullptr)) {
                SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
                if (beforeOk) beforeOk();
            }
            dialogdriver::PressButton(dialog, IDOK);
        });
        if (press) {
            press();
            testsupport::WaitFor([&] { return answers.Count() == 2; }, 10000);
        } else {
            Pm().SendNotify(exportButton, L"click");
        }
        return answers.Stop();
    }
    // A key as the keyboard gives it to the window that has the focus.
    void Press(UINT vk, bool shift = false)
    {
        HWND target = GetFocus();
        ASSERT_NE(nullptr, target);
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        const BYTE shiftBefore = keys[VK_SHIFT];
        if (shift) {
            keys[VK_SHIFT] = 0x80;
            SetKeyboardState(keys);
        }
        const bool system = vk == VK_F10;
        SendMessageW(target, system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 1);
        SendMessageW(target, system ? WM_SYSKEYUP : WM_KEYUP, vk, 0xC0000001);
        keys[VK_SHIFT] = shiftBefore;
        SetKeyboardState(keys);
        testsupport::PumpMessages();
    }
    // Tab until the focus is on a control of that name; false after a whole round.
    bool TabTo(const wchar_t* name)
    {
        for (int i = 0; i < 40; ++i) {
            Press(VK_TAB);
            if (Pm().GetFocus() && Pm().GetFocus()->GetName() == name) return true;
        }
        return false;
    }
    // (label, value) of every row of an attribute page.
    std::vector<std::pair<std::wstring, std::wstring>> Rows(CControlUI* attributePage)
    {
        std::vector<std::pair<std::wstring, std::wstring>> rows;
        auto* container = ControlCast<CContainerUI>(attributePage);
        for (int i = 0; i < container->GetCount(); ++i) {
            CControlUI* row = container->GetItemAt(i);
            rows.emplace_back(Find(L"Label_CertArritube_key", row)->GetText(),
                              Find(L"Label_CertArritube", row)->GetText());
        }
        return rows;
    }

    productui::ProductUi m_ui_{2052};  // the language files where an installation puts them
    std::unique_ptr<tamu::Host> m_host_;
    std::unique_ptr<testsupport::TempDir> m_store_;
    std::unique_ptr<tamu::TokenStoreDevices> m_devices_;
    CUIMainFrame* m_frame_ = nullptr;
};

}  // namespace

TEST_F(MainFrameTest, KeyListFollowsHostOrderAndHoldsBackTheLowPrioritySerial)
{
    // Host order, the selection and a page's own rows of these two keys are read in
    // ScreenReaderReadsTwoKeysInReadingOrder; zt2026000b (lisi) is the host's first device.
    StartWith({L"zhangsan", L"lisi"}, {{L"UserSetting", L"IsShowSelfWhileInsertUSBKey", L"false"}});
    ASSERT_EQ(1, MainPage());
    ASSERT_EQ(2, KeyList()->GetCount());
    EXPECT_EQ(0, static_cast<int>(KeyList()->GetItemAt(1)->GetTag())) << "the bottom item, the first page";

    // The preferred-last serial (letter case ignored) is added last, so it is on top and not selected.
    ASSERT_TRUE(UserSettings::Instance().SetValue(L"UserSetting", L"LowPriorityShowDeviceSn", L"ZT2026000B"));
    ASSERT_TRUE(
        UserSettings::Instance().SetValue(L"UserSetting", L"LowPriorityShowDeviceProId", L"Preferred key"));
    DeviceEvent();
    auto* top = ControlCast<COptionUI>(KeyList()->GetItemAt(0));
    auto* bottom = ControlCast<COptionUI>(KeyList()->GetItemAt(1));
    EXPECT_EQ(L"zt2026000b", top->GetUserData());
    EXPECT_EQ(L"Preferred key", top->GetText());
    EXPECT_FALSE(top->IsSelected());
    EXPECT_TRUE(bottom->IsSelected());
    EXPECT_EQ(1, static_cast<int>(top->GetTag()));

    // Clicking an item shows its page with the key's own rows.
    Find<CTabLayoutUI>(L"TLayout_CertArrShow", Page(1))->SelectItem(1);
    Pm().SendNotify(top, L"click");
    EXPECT_EQ(1, KeyPages()->GetCurSel());
    EXPECT_EQ(0, Find<CTabLayoutUI>(L"TLayout_CertArrShow", Page(1))->GetCurSel());
}

// A page is built when its key is first shown: whichever way the key is
// chosen, and after a device event that dropped every page built so far,
// the page shown is the chosen key's.
TEST_F(MainFrameTest, EveryKeyShowsItsOwnPageByMouseAndByKeyboardAcrossDeviceEvents)
{
    StartWith({L"zhangsan", L"lisi", L"expiring"}, {{L"NotifyWndSetting", L"IsShowNotifyDeviceWnd", L"false"},
                                                    {L"NotifyWndSetting", L"IsShowNotifyCertWnd", L"false"}});
    ASSERT_EQ(3, KeyList()->GetCount());
    // The serial in the shown page's device details, and the chosen key's.
    auto shownSerial = [&] {
        CControlUI* page = KeyPages()->GetItemAt(KeyPages()->GetCurSel());
        auto* tabs = Find<CTabLayoutUI>(L"TLayout_CertArrShow", page);
        const auto rows = tabs ? Rows(tabs->GetItemAt(0)) : decltype(Rows(nullptr))();
        return rows.size() == 3 ? rows[1].second : L"(page not built)";
    };
    auto chosenSerial = [&] {
        for (int i = 0; i < KeyList()->GetCount(); ++i) {
            auto* item = ControlCast<COptionUI>(KeyList()->GetItemAt(i));
            if (item->IsSelected()) return item->GetUserData();
        }
        return std::wstring(L"(none chosen)");
    };
    EXPECT_EQ(chosenSerial(), shownSerial()) << "the page the device event shows";
    for (int round = 0; round < 2; ++round) {
        for (int i : {2, 0, 1}) {
            ControlCast<COptionUI>(KeyList()->GetItemAt(i))->Activate();  // as a click does
            EXPECT_EQ(KeyList()->GetItemAt(i)->GetUserData(), shownSerial()) << "mouse on item " << i;
        }
        SetFocus(m_frame_->GetSafeHwnd());
        for (int i = 0; i < 20 && !(Pm().GetFocus() && Pm().GetFocus()->GetParent() == KeyList()); ++i) Press(VK_TAB);
        ASSERT_NE(nullptr, Pm().GetFocus());
        ASSERT_EQ(chosenSerial(), Pm().GetFocus()->GetUserData()) << "Tab lands on the chosen key";
        for (UINT vk : {VK_UP, VK_DOWN, VK_DOWN, VK_HOME, VK_END}) {
            Press(vk);
            EXPECT_EQ(chosenSerial(), shownSerial()) << "key " << vk;
        }
        // A key other than the first is chosen as the event comes: the
        // pages are built afresh and the one shown is the chosen key's.
        ControlCast<COptionUI>(KeyList()->GetItemAt(0))->Activate();
        DeviceEvent();
        EXPECT_EQ(chosenSerial(), shownSerial()) << "after the device event";
    }
}

TEST_F(MainFrameTest, PagesForNoKeyDetectingAndAMissingDeviceService)
{
    Start();
    EXPECT_EQ(0, MainPage());
    m_frame_->SendMessage(kHostMsgDetecting, 0, 0);
    EXPECT_EQ(2, MainPage());
    DeviceEvent();
    EXPECT_EQ(0, MainPage());

    // The refresh button asks the host and shows the detecting page; the host answers with 1834.
    Insert(L"zhangsan");
    Pm().SendNotify(Pm().FindControl(L"Button_RefreshDevice"), L"click");
    EXPECT_EQ(2, MainPage());
    ASSERT_TRUE(testsupport::WaitFor([&] { return KeyList()->GetCount() == 1; }));
    EXPECT_EQ(1, MainPage());

    m_host_->EnableService(HostGuids::DeviceService, false);
    DeviceEvent();
    EXPECT_EQ(0, KeyList()->GetCount());
    EXPECT_EQ(0, KeyPages()->GetCount());
    EXPECT_EQ(0, DeviceRecordList::Instance().Count());
}

TEST_F(MainFrameTest, DeviceEventClosesAnOpenPinDialogAndAsksToBeShown)
{
    Insert(L"zhangsan");
    Start({{L"UserSetting", L"IsShowSelfWhileInsertUSBKey", L"true"}});
    const size_t before = m_host_->Mailbox().size();
    DeviceEvent();
    ASSERT_EQ(before + 1, m_host_->Mailbox().size());
    EXPECT_EQ(L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972|/ShowWindow=none|/ChangeViewWhileOnHomeControl=true",
              m_host_->Mailbox().back().text);

    // The PIN button opens the dialog; a device event while it is open closes it, and nothing is changed.
    HWND frame = m_frame_->GetSafeHwnd();
    std::atomic<bool> closed{false};
    dialogdriver::Driver driver([&] {
        HWND dialog = dialogdriver::WaitForWindowOfClass(L"ZENTO_UIModifyPasswordDlg");
        if (!dialog) return;
        PostMessageW(frame, kHostMsgDeviceChanged, 0, 0);
        closed = dialogdriver::WaitGone(dialog);
    });
    DialogAnswers answers;
    Pm().SendNotify(Find(L"Button_ModifyPin", Page(0)), L"click");
    ASSERT_TRUE(testsupport::WaitFor([&] { return closed.load(); }, 10000));
    driver.Join();
    testsupport::PumpMessages();
    EXPECT_TRUE(answers.Stop().empty()) << "a closed dialog changes nothing and reports nothing";
    EXPECT_EQ(before + 2, m_host_->Mailbox().size()) << "the event with a key asks again to be shown";

    // No keys: no command.
    m_devices_->RemoveToken(L"ZT2026000A");
    DeviceEvent();
    EXPECT_EQ(before + 2, m_host_->Mailbox().size());
}

TEST_F(MainFrameTest, CertificateRowsIconsAndValidityBlocks)
{
    // expiring: sign_12h, sign_expired, an expired CA; zhangsan: sign_1y + enc_1y, sign_10d.
    StartWith({L"expiring", L"zhangsan"});
    ASSERT_EQ(2, KeyPages()->GetCount());

    auto check = [&](CControlUI* item, const wchar_t* icon) {
        EXPECT_EQ(icon, Find(L"Lable_CertDisplayName_Icon", item)->GetBkImage());
    };
    const std::vector<CControlUI*> zhang = NameItems(1);
    ASSERT_EQ(3u, zhang.size());
    check(zhang[0], L"MainFrame/icon_cert.png");
    check(zhang[1], L"MainFrame/icon_cert.png");
    check(zhang[2], L"MainFrame/icon_certramain.png");
    EXPECT_EQ(L"张三-签名证书", Find(L"Lable_CertDisplayName", zhang[0])->GetText());
    EXPECT_EQ(L"张三-加密证书", Find(L"Lable_CertDisplayName", zhang[1])->GetText());
    // A pair row is 38 per certificate plus 2; the block of the 10-day group counts days.
    auto* groups = Find<CContainerUI>(L"VLayout_AllCertView", Page(1));
    ASSERT_EQ(2, groups->GetCount());
    EXPECT_EQ(78, groups->GetItemAt(0)->GetFixedHeight());
    EXPECT_EQ(nullptr, Find(L"Label_Deadline", groups->GetItemAt(0)));
    const std::wstring deadline = Find(L"Label_Deadline", groups->GetItemAt(1))->GetText();
    EXPECT_TRUE(deadline == L"9天后过期" || deadline == L"10天后过期") << testsupport::ToUtf8(deadline);

    const std::vector<CControlUI*> expiring = NameItems(0);
    ASSERT_GE(expiring.size(), 2u);
    check(expiring[0], L"MainFrame/icon_certramain.png");
    check(expiring[1], L"MainFrame/icon_certexpired.png");
    for (const wchar_t* image : {L"icon_cert.png", L"icon_certramain.png", L"icon_certexpired.png"})
        EXPECT_TRUE(testsupport::FileExists(CPaintManagerUI::GetResourcePath() + L"MainFrame\\" + image));
    auto* expiringGroups = Find<CContainerUI>(L"VLayout_AllCertView", Page(0));
    EXPECT_EQ(GetLanguageString("STRING_SHOW_CERTATT_EXPIRE_ONEDAY"),
              Find(L"Label_Deadline", expiringGroups->GetItemAt(0))->GetText());
    EXPECT_EQ(GetLanguageString("STRING_SHOW_CERTATT_HAS_EXPIRE"),
              Find(L"Label_Cert_Expired", expiringGroups->GetItemAt(1))->GetText());

    // Attribute rows of the first certificate, in the fixed order; every label is one of the fifteen.
    auto* attributeTabs = Find<CTabLayoutUI>(L"TLayout_CertArrShow", Page(1));
    Pm().SendNotify(Find(L"Button_CertDisplayName", zhang[1]), L"click");
    EXPECT_EQ(2, attributeTabs->GetCurSel());
    const char* const order[] = {"STRING_SHOW_CERTATT_OID_UERSERVICE_PROGID",
                                 "STRING_SHOW_CERTATT_SUBJECTDISPLAYNAME",
                                 "STRING_SHOW_CERTATT_CERTTYPE",
                                 "STRING_SHOW_CERTATT_VALIDTIME",
                                 "STRING_SHOW_CERTATT_ISSUSERDISPLAYNAME",
                                 "STRING_SHOW_CERTATT_FRIENDLYNAME",
                                 "STRING_SHOW_CERTATT_UNITNAME",
                                 "STRING_SHOW_CERTATT_SECTIONNAME",
                                 "STRING_SHOW_CERTATT_ADDRESS",
                                 "STRING_SHOW_CERTATT_EMAIL",
                                 "STRING_SHOW_CERTATT_CERTSN",
                                 "STRING_SHOW_CERTATT_THUMBPRINTSHA1",
                                 "STRING_SHOW_CERTATT_THUMBPRINTSHA256",
                                 "STRING_SHOW_CERTATT_COUNTRYNAME",
                                 "STRING_SHOW_CERTATT_PROVINCENAME"};
    const auto rows = Rows(attributeTabs->GetItemAt(1));
    ASSERT_EQ(15u, rows.size()) << "every attribute of the Zhang San certificate has a value";
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(GetLanguageString(order[i]) + L" :", rows[i].first) << i;
        EXPECT_FALSE(rows[i].second.empty()) << i;
    }
    EXPECT_EQ(L"zhangsan@example.cn", rows[9].second);
    EXPECT_EQ(GetLanguageString("STRING_SHOW_CERTATT_CERTTYPE_SIGN"), rows[2].second);
    // Li Si's certificates carry no e-mail address: no row for it.
    auto* expiringTabs = Find<CTabLayoutUI>(L"TLayout_CertArrShow", Page(0));
    for (const auto& row : Rows(expiringTabs->GetItemAt(1)))
        EXPECT_NE(GetLanguageString("STRING_SHOW_CERTATT_EMAIL") + L" :", row.first);
}

TEST_F(MainFrameTest, DoubleClickShowsTheCertificateDialogAndFreesItsCopy)
{
    StartWith({L"zhangsan"});
    const long live = ZentoPKIGetLiveObjectCount();
    DialogAnswers answers;
    Pm().SendNotify(Find(L"Button_CertDisplayName", NameItems(0)[0]), L"dbclick");
    ASSERT_TRUE(testsupport::WaitFor([&] { return answers.Count() == 1; }, 10000))
        << "the certificate dialog";
    ASSERT_TRUE(testsupport::WaitFor([&] { return ZentoPKIGetLiveObjectCount() == live; }));
    EXPECT_EQ(0, ZentoPKIGetBadFreeCount());
}

TEST_F(MainFrameTest, RowValueIsCopiedByCtrlCAndByTheMenuInTheSystemCodePage)
{
    // The pop-ups would take the foreground, and the copy menu closes when it loses the focus.
    StartWith({L"zhangsan"}, {{L"NotifyWndSetting", L"IsShowNotifyDeviceWnd", L"false"},
                              {L"NotifyWndSetting", L"IsShowNotifyCertWnd", L"false"}});
    auto* attributeTabs = Find<CTabLayoutUI>(L"TLayout_CertArrShow", Page(0));
    CControlUI* row =
        ControlCast<CContainerUI>(attributeTabs->GetItemAt(1))->GetItemAt(1);  // the subject: 张三
    auto* option = dynamic_cast<CKeyOptionUI*>(Find(L"Option_CertArritube", row));
    ASSERT_NE(nullptr, option) << "attribute rows are built with the window's KeyOption";
    ASSERT_EQ(L"张三", option->GetUserData());
    TEventUI event;
    event.Type = UIEVENT_KEYDOWN;
    event.chKey = 'C';
    event.pSender = option;
    ClearClipboard();
    option->DoEvent(event);
    {
        SCOPED_TRACE("Ctrl+C");
        ExpectClipboardHolds(L"张三", "\xD5\xC5\xC8\xFD");
    }

    // Right click: the copy menu opens at the mouse; its one button copies.
    ClearClipboard();
    Pm().SendNotify(Find(L"Option_CertArritube", row), L"rclick");
    HWND menu = FindWindowW(L"ZENTO_PluginMenuWnd", nullptr);
    ASSERT_NE(nullptr, menu);
    testsupport::PumpMessages();
    productui::ClickCentre(menu);
    ASSERT_TRUE(testsupport::WaitFor([&] { return !IsWindow(menu); }));
    SCOPED_TRACE("the copy menu");
    ExpectClipboardHolds(L"张三", "\xD5\xC5\xC8\xFD");
}

TEST_F(MainFrameTest, EveryExportFormatInBothLanguagesForOneCertificateAndForTheGroup)
{
    Insert(L"zhangsan");  // group 0: sign_1y and enc_1y
    const std::string sign = FixtureSha1(L"sign_1y"), enc = FixtureSha1(L"enc_1y");
    ASSERT_EQ(40u, sign.size());
    ASSERT_EQ(40u, enc.size());
    // The save dialog offers the type chosen last, from the user's settings.
    int offered = static_cast<int>(CertFileFormat::Der);
    for (long language : {2052L, 1033L}) {
        PluginEntry::OnReleasePlugins();
        StartHost(language);
        Start();
        DeviceEvent();
        const std::wstring lang = language == 2052 ? L"zh" : L"en";
        for (const ExportFormatRow& row : kExportFormats) {
            const bool pkcs7 = row.format == CertFileFormat::Pkcs7;
            SCOPED_TRACE(testsupport::ToUtf8(lang + L" " + CertFileFormatText(row.format)));
            // The group into a folder, in the settings page's format: a file
            // per certificate, or the group in one PKCS #7 file.
            ASSERT_TRUE(UserSettings::Instance().SetExportFormat(CertFileFormatText(row.format)));
            testsupport::TempDir folder(L"导出");
            auto texts = ExportGroupTo(ExportButton(0, 0), folder.Path());
            ASSERT_EQ(2u, texts.size());
            EXPECT_EQ(GetLanguageString("STRING_SAVE_CERT_SUCCESS"), texts[1].text);
            std::set<std::wstring> expectedNames = {L"张三.p7b"};
            if (!pkcs7)
                expectedNames = {L"张三" + GetLanguageString("STRING_SAVE_CERT_TYPE_EXPORT_SIGN_NAME"),
                                 L"张三" + GetLanguageString("STRING_SAVE_CERT_TYPE_EXPORT_ENC_NAME")};
            std::set<std::wstring> names;
            std::multiset<std::string> group;
            for (const std::wstring& name : testsupport::ListFiles(folder.Path())) {
                names.insert(name);
                for (const std::string& sha1 : ExportedThumbprints(folder.File(name), row)) group.insert(sha1);
            }
            EXPECT_EQ(expectedNames, names);
            EXPECT_EQ((std::multiset<std::string>{sign, enc}), group);

            // The encryption certificate through the save dialog; its PKCS #7
            // file takes the signing partner along.
            auto* item = ControlCast<COptionUI>(Find(L"Button_CertDisplayName", NameItems(0)[1]));
            item->Selected(true);
            const std::wstring chosen = folder.File(std::wstring(L"chosen") + CertFileExtension(row.format));
            int shown = -1;
            DialogAnswers answers([&](HWND dialog, const BoxSeen& seen) {
                if (seen.text.empty()) {
                    HWND types = GetDlgItem(dialog, cmb1);
                    shown = static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0));
                    if (row.format == CertFileFormat::Der) {
                        // The type list dropped, as a user opens it, on the screen.
                        SendMessageW(types, CB_SHOWDROPDOWN, TRUE, 0);
                        COMBOBOXINFO combo = {sizeof(combo)};
                        GetComboBoxInfo(types, &combo);
                        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                        RECT area, list;
                        GetWindowRect(dialog, &area);
                        GetWindowRect(combo.hwndList, &list);
                        UnionRect(&area, &area, &list);
                        EXPECT_TRUE(tamu::CaptureScreenToPng(
                            area, testsupport::ScreenshotPath(L"save_dialog_types_" + lang + L".png")));
                        SendMessageW(types, CB_SHOWDROPDOWN, FALSE, 0);
                    }
                    SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(row.format), 0);
                    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
                    SendMessageW(GetDlgItem(dialog, cmb13), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
                }
                dialogdriver::PressButton(dialog, IDOK);
            });
            Pm().SendNotify(ExportButton(0, 0), L"click");
            texts = answers.Stop();
            item->Selected(false);
            ASSERT_EQ(2u, texts.size());
            EXPECT_EQ(GetLanguageString("STRING_SAVE_CERT_SUCCESS"), texts[1].text);
            EXPECT_EQ(offered, shown);
            offered = static_cast<int>(row.format);
            EXPECT_EQ((pkcs7 ? std::multiset<std::string>{sign, enc} : std::multiset<std::string>{enc}),
                      ExportedThumbprints(chosen, row));
        }
        EXPECT_NE(std::string::npos, m_ui_.ReadUserIni().find("SaveAsFileType=PKCS7"));
    }
}

TEST_F(MainFrameTest, FailedExportsShowTheFailureAndLeaveNothingHalfWritten)
{
    StartWith({L"zhangsan"});
    testsupport::TempDir target(L"导出");
    // Every name of the group taken by a folder (unwritable for every
    // account, an administrator's too): one failure message for the group.
    const std::vector<std::wstring> names = {L"张三_签名证书.cer", L"张三_加密证书.cer", L"张三.p7b"};
    for (const std::wstring& name : names) ASSERT_TRUE(CreateDirectoryW(target.File(name).c_str(), nullptr));
    for (const ExportFormatRow& row : kExportFormats) {
        SCOPED_TRACE(testsupport::ToUtf8(CertFileFormatText(row.format)));
        ASSERT_TRUE(UserSettings::Instance().SetExportFormat(CertFileFormatText(row.format)));
        const auto texts = ExportGroupTo(ExportButton(0, 0), target.Path());
        ASSERT_EQ(2u, texts.size());
        EXPECT_EQ(GetLanguageString("STRING_SAVE_CERT_FAIL"), texts[1].text);
        EXPECT_EQ(3u, testsupport::ListFolder(target.Path()).size()) << "the folders, and nothing beside them";
    }
    // A folder gone once chosen (a memory stick pulled out).
    {
        const std::wstring gone = target.File(L"stick");
        ASSERT_TRUE(CreateDirectoryW(gone.c_str(), nullptr));
        const auto texts = ExportGroupTo(ExportButton(0, 0), gone, nullptr, [&] { RemoveDirectoryW(gone.c_str()); });
        ASSERT_EQ(2u, texts.size());
        EXPECT_EQ(GetLanguageString("STRING_SAVE_CERT_FAIL"), texts[1].text);
        EXPECT_FALSE(testsupport::FileExists(gone));
    }
    // Encodings the library refuses, over files of those names: they keep
    // what they held, and no temporary file is left.
    for (const std::wstring& name : names) {
        ASSERT_TRUE(RemoveDirectoryW(target.File(name).c_str()));
        ASSERT_TRUE(testsupport::WriteFileBytes(target.File(name), "kept"));
    }
    for (const ExportFormatRow& row : kExportFormats) {
        SCOPED_TRACE(testsupport::ToUtf8(CertFileFormatText(row.format)));
        ASSERT_TRUE(UserSettings::Instance().SetExportFormat(CertFileFormatText(row.format)));
        ZentoPKIHostFailEncode(row.format == CertFileFormat::Base64 ? ZENTO_ENCODE_PEM : ZENTO_ENCODE_DER);
        const auto texts = ExportGroupTo(ExportButton(0, 0), target.Path());
        ZentoPKIHostFailEncode(0);
        ASSERT_EQ(2u, texts.size());
        EXPECT_EQ(GetLanguageString("STRING_SAVE_CERT_FAIL"), texts[1].text);
        ASSERT_EQ(3u, testsupport::ListFiles(target.Path()).size());
        for (const std::wstring& name : names) {
            std::string bytes;
            EXPECT_TRUE(testsupport::ReadFileBytes(target.File(name), bytes));
            EXPECT_EQ("kept", bytes);
        }
    }

    // A name that exists: the save dialog asks, as it always has, and the
    // answer yes replaces the file whole.
    ControlCast<COptionUI>(Find(L"Button_CertDisplayName", NameItems(0)[0]))->Selected(true);
    const std::wstring chosen = target.File(names[0]);
    DialogAnswers answers([&](HWND dialog, const BoxSeen& seen) {
        if (seen.text.empty())
            SendMessageW(GetDlgItem(dialog, cmb13), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
        dialogdriver::PressButton(dialog, seen.hasNo ? IDYES : IDOK);
    });
    Pm().SendNotify(ExportButton(0, 0), L"click");
    const auto texts = answers.Stop();
    ASSERT_FALSE(texts.empty());
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const BoxSeen& box) { return box.hasNo; }))
        << "asked before replacing";
    EXPECT_EQ(GetLanguageString("STRING_SAVE_CERT_SUCCESS"), texts.back().text);
    std::string written, original;
    ASSERT_TRUE(testsupport::ReadFileBytes(chosen, written));
    ASSERT_TRUE(testsupport::ReadFileBytes(pkitest::CertFile(L"sign_1y"), original));
    EXPECT_EQ(original, written);
}

TEST_F(MainFrameTest, CraftedHolderNameIsExportedInsideTheChosenFolder)
{
    // The holder's name is ..\..\evil:na/me*?"<a>|b, a tab, c, a blank and a
    // dot: each character a file name must not hold becomes "_"; the dots
    // and the blank stay, the suffix follows them.
    StartWith({L"crafted"});
    testsupport::TempDir root(L"根");
    const std::wstring chosen = root.File(L"a\\b");
    ASSERT_TRUE(testsupport::MakeFolders(chosen));
    const auto texts = ExportGroupTo(ExportButton(0, 0), chosen);
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(GetLanguageString("STRING_SAVE_CERT_SUCCESS"), texts[1].text);

    const auto files = testsupport::ListFolder(chosen);
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(L".._.._evil_na_me____a__b_c ._签名证书.cer", files[0].name);
    std::string written, original;
    ASSERT_TRUE(testsupport::ReadFileBytes(chosen + L"\\" + files[0].name, written));
    ASSERT_TRUE(testsupport::ReadFileBytes(pkitest::CertFile(L"crafted_name"), original));
    EXPECT_EQ(original, written);
    // Nothing beside the chosen folder or above it, where the name points.
    for (const auto& level : {std::make_pair(root.Path(), L"a"), std::make_pair(root.File(L"a"), L"b")}) {
        const auto entries = testsupport::ListFolder(level.first);
        ASSERT_EQ(1u, entries.size()) << testsupport::ToUtf8(level.first);
        EXPECT_EQ(level.second, entries[0].name);
    }
}

TEST_F(MainFrameTest, ScreenshotsOfTwoKeysInBothLanguagesAtTwoScales)
{
    Insert(L"expiring");  // a certificate within 24 hours and an expired one
    Insert(L"zhangsan");
    for (long language : {2052L, 1033L}) {
        ASSERT_NO_FATAL_FAILURE(RestartShowingTwoKeys(language));
        // The expiring key's page, its first certificate's attributes.
        Pm().SendNotify(KeyList()->GetItemAt(1), L"click");
        ASSERT_EQ(0, KeyPages()->GetCurSel());
        Pm().SendNotify(Find(L"Button_CertDisplayName", NameItems(0)[0]), L"click");
        for (int dpi : {96, 144}) {
            Pm().SetDPI(dpi);
            const int cx = 820 * dpi / 96;
            const int cy = 620 * dpi / 96;
            const std::wstring name = std::wstring(L"mainframe_") + (language == 2052 ? L"zh" : L"en") +
                                      L"_" + std::to_wstring(dpi * 100 / 96) + L".png";
            SCOPED_TRACE(testsupport::ToUtf8(name));
            ASSERT_TRUE(Pm().SaveSnapshot(testsupport::ScreenshotPath(name), cx, cy));
            std::vector<DWORD> pixels;
            ASSERT_TRUE(Pm().RenderToPixels(cx, cy, pixels));
            // The key list's panel on the left, the white page on the right.
            EXPECT_EQ(0xF6F7F9u, pixels[static_cast<size_t>(cy - 80 * dpi / 96) * cx + 4] & 0xFFFFFF);
            EXPECT_EQ(0xFFFFFFu, pixels[static_cast<size_t>(cy - 4) * cx + cx - 4] & 0xFFFFFF);
        }
        Pm().SetDPI(96);
        SCOPED_TRACE(language);
        productui::ExpectReadableAtBothScales(m_frame_->GetSafeHwnd(), Pm());
        // The focus indicator on a certificate row reached by the keyboard.
        SetFocus(m_frame_->GetSafeHwnd());
        Pm().ShowFocusCues();
        CControlUI* row = Find(L"Button_CertDisplayName", NameItems(0)[0]);
        Pm().SetFocus(row);
        ASSERT_TRUE(Pm().SaveSnapshot(testsupport::ScreenshotPath(
                                          std::wstring(L"mainframe_focus_") + (language == 2052 ? L"zh" : L"en") +
                                          L".png"),
                                      820, 620));

        // The mouse resting on a key: its tooltip tells the label and the
        // serial number, on the screen of the shown host.
        ASSERT_TRUE(keyinput::Activate(m_host_->MainWindow()));
        CControlUI* key = KeyList()->GetItemAt(0);
        const RECT item = key->GetPos();
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageW(m_frame_->GetSafeHwnd(), WM_MOUSEMOVE, 0, at);
        SendMessageW(m_frame_->GetSafeHwnd(), WM_MOUSEHOVER, 0, at);
        HWND tip = nullptr;
        ASSERT_TRUE(testsupport::WaitFor([&] {
            tip = FindWindowW(TOOLTIPS_CLASSW, nullptr);
            return tip && IsWindowVisible(tip);
        }));
        wchar_t text[256] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = m_frame_->GetSafeHwnd();
        tool.uId = 1;
        tool.lpszText = text;
        SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        const bool zhang = key->GetUserData() == L"ZT2026000A";
        EXPECT_EQ(FormatLanguageText(GetLanguageString("STRING_TOOLTIP_DEVICE_ITEM"),
                                     {zhang ? L"张三的钥匙" : L"Expiring", key->GetUserData()}),
                  text);
        {
            accwalk::ComScope com;
            EXPECT_NE(nullptr, accwalk::Tree(m_frame_->GetSafeHwnd()).Find(ROLE_SYSTEM_LISTITEM, key->GetText()))
                << "the tooltip does not rename the key";
        }
        RECT area, tipArea;
        GetWindowRect(m_host_->MainWindow(), &area);
        GetWindowRect(tip, &tipArea);
        UnionRect(&area, &area, &tipArea);
        RedrawWindow(m_host_->MainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        EXPECT_TRUE(tamu::CaptureScreenToPng(
            area, testsupport::ScreenshotPath(std::wstring(L"key_tooltip_") + (language == 2052 ? L"zh" : L"en") +
                                              L".png")));
    }
}

TEST_F(MainFrameTest, HighContrastPaintsSystemColoursAndTheSelectionInTheHighlight)
{
    using testsupport::HighContrastRgb;
    Insert(L"expiring");
    Insert(L"zhangsan");
    // The skin's panel, selection, hover and border colours; none may be left.
    const DWORD skinColours[] = {0xF6F7F9, 0xE3ECFC, 0xECEEF2, 0xC8CCD2, 0xF3F6FB};
    for (long language : {2052L, 1033L}) {
        ASSERT_NO_FATAL_FAILURE(RestartShowingTwoKeys(language));
        auto* key = ControlCast<COptionUI>(KeyList()->GetItemAt(1));
        ASSERT_TRUE(key && key->Activate());
        auto* row = Find<COptionUI>(L"Button_CertDisplayName", NameItems(0)[0]);
        ASSERT_TRUE(row && row->Activate());
        ASSERT_TRUE(key->IsSelected() && row->IsSelected());
        testsupport::HighContrastScope highContrast;
        ASSERT_TRUE(highContrast.ok());
        const int cx = 820, cy = 620;
        const std::wstring name =
            std::wstring(L"mainframe_highcontrast_") + (language == 2052 ? L"zh" : L"en") + L".png";
        SCOPED_TRACE(testsupport::ToUtf8(name));
        ASSERT_TRUE(Pm().SaveSnapshot(testsupport::ScreenshotPath(name), cx, cy));
        testsupport::Pixels px;
        ASSERT_TRUE(Pm().RenderToPixels(cx, cy, px.data));
        px.cx = cx;
        px.cy = cy;
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x)
                for (DWORD skin : skinColours) ASSERT_NE(skin, px.At(x, y)) << x << "," << y;
        // The key list's panel and the page: the window colour.
        EXPECT_EQ(HighContrastRgb::kWindow, px.At(4, cy - 80));
        EXPECT_EQ(HighContrastRgb::kWindow, px.At(cx - 4, cy - 4));
        // The chosen key and the chosen certificate: the highlight, their
        // names in the highlight's text colour and never in the window's.
        const RECT keyRc = key->GetPos();
        EXPECT_EQ(HighContrastRgb::kHighlight, px.At(keyRc.right - 4, (keyRc.top + keyRc.bottom) / 2));
        const RECT keyText = {keyRc.left + 44, keyRc.top + 4, keyRc.right - 8, keyRc.bottom - 4};
        EXPECT_GT(px.CountNear(keyText, HighContrastRgb::kHighlightText), 0);
        EXPECT_EQ(0, px.CountNear(keyText, HighContrastRgb::kText));
        const RECT rowRc = row->GetPos();
        EXPECT_EQ(HighContrastRgb::kHighlight, px.At(rowRc.right - 4, (rowRc.top + rowRc.bottom) / 2));
        const RECT rowText = Find(L"Lable_CertDisplayName", NameItems(0)[0])->GetPos();
        EXPECT_GT(px.CountNear(rowText, HighContrastRgb::kHighlightText), 0);
        EXPECT_EQ(0, px.CountNear(rowText, HighContrastRgb::kText));
        // Unselected names are window text on the window.
        const RECT otherKey = KeyList()->GetItemAt(0)->GetPos();
        EXPECT_GT(
            px.CountNear({otherKey.left + 44, otherKey.top + 4, otherKey.right - 8, otherKey.bottom - 4},
                         HighContrastRgb::kText),
            0);
    }
}

TEST(MainFrameFiles, PinFailureTextsByRetriesLeft)
{
    LoadLanguageFileFor(2052);
    EXPECT_EQ(L"修改密码失败，还剩3次重试机会!", FormatPinFailText(3));
    EXPECT_EQ(L"修改密码失败，还剩1次重试机会!", FormatPinFailText(1));
    EXPECT_EQ(GetLanguageString("STRING_PIN_MODIFY_FAIL_LOCK"), FormatPinFailText(0));
    EXPECT_EQ(L"修改密码失败(-1)!", FormatPinFailText(-1));
}

TEST_F(MainFrameTest, PinChangeOnASimulatedTokenAndItsFailures)
{
    StartWith({L"lisi"});  // PIN 1234, 3 retries left
    const unsigned long device = DeviceRecordList::Instance().At(0)->device;
    auto change = [&](const char* oldPin, const char* newPin) {
        SecureUtf8String oldText(oldPin, strlen(oldPin));
        SecureUtf8String newText(newPin, strlen(newPin));
        DialogAnswers answers;
        const bool changed = m_frame_->ChangePinOnDevice(device, oldText, newText);
        const auto texts = answers.Stop();
        EXPECT_TRUE(oldText.empty() && newText.empty());
        for (const SecureUtf8String* pin : {&oldText, &newText}) {
            for (size_t i = 0; i < pin->capacity(); ++i)
                EXPECT_EQ(0, pin->buffer()[i]) << "PIN byte left at " << i;
        }
        EXPECT_EQ(1u, texts.size());
        return std::make_pair(changed, texts.empty() ? std::wstring() : texts[0].text);
    };
    auto result = change("1234", "5678");
    EXPECT_TRUE(result.first);
    EXPECT_EQ(GetLanguageString("STRING_PIN_MODIFY_SUCCESS"), result.second);
    // A right change resets the counter to its maximum (10): wrong PINs count down from there.
    result = change("0000", "9999");
    EXPECT_FALSE(result.first);
    EXPECT_EQ(FormatPinFailText(9), result.second);
    for (int left = 8; left > 0; --left) change("0000", "9999");
    result = change("0000", "9999");
    EXPECT_EQ(GetLanguageString("STRING_PIN_MODIFY_FAIL_LOCK"), result.second);
}

TEST_F(MainFrameTest, KeyButtonsFollowTheDeviceTypeListsAndTheHostsPlugins)
{
    Insert(L"zhangsan");  // type 1
    Insert(L"lisi");      // type 2
    WritePrivateProfileStringW(L"Plugins", L"871F89C4-A418-4361-90D9-29AF05B186B3", L"Install",
                               tamu::BesideProgram(L"TamuHost.ini").c_str());
    Start({{L"DisconnectFunShow", L"2", L""}, {L"PassWordFunFiter", L"2", L""}});
    DeviceEvent();
    // A page asks the host which plug-ins it has when it is built.
    CControlUI* lisi = Page(0);
    CControlUI* zhang = Page(1);
    WritePrivateProfileStringW(L"Plugins", nullptr, nullptr, tamu::BesideProgram(L"TamuHost.ini").c_str());
    EXPECT_TRUE(Find(L"Button_DisConnect", lisi)->IsOwnVisible());
    EXPECT_FALSE(Find(L"Button_DisConnect", zhang)->IsOwnVisible());
    EXPECT_FALSE(Find(L"Button_ModifyPin", lisi)->IsOwnVisible());
    EXPECT_TRUE(Find(L"Button_ModifyPin", zhang)->IsOwnVisible());
    EXPECT_TRUE(Find(L"Button_UnlockPin", zhang)->IsOwnVisible());
    auto* groups = Find<CContainerUI>(L"VLayout_AllCertView", zhang);
    EXPECT_FALSE(Find(L"Button_CertUpdate", groups->GetItemAt(0))->IsOwnVisible()) << "no renewal plug-in";

    // Unlock goes to the host; disconnect takes the token out and the view follows.
    Pm().SendNotify(Find(L"Button_UnlockPin", zhang), L"click");
    EXPECT_EQ(L"871F89C4-A418-4361-90D9-29AF05B186B3|", m_host_->Mailbox().back().text);
    Pm().SendNotify(Find(L"Button_DisConnect", lisi), L"click");
    EXPECT_EQ(L"4CC1C123-8D4D-4e94-89B1-89841C3C1037|type=2|sn=zt2026000b|opeator=disconnect",
              m_host_->Mailbox().back().text);
    EXPECT_EQ(kHostMsgRunDisconnect, m_host_->Mailbox().back().message);
    DeviceEvent();
    EXPECT_EQ(1, KeyList()->GetCount());
}

TEST_F(MainFrameTest, TwoHundredInsertRemoveCyclesWithPopupsLeakNothing)
{
    // The pop-ups are on (their defaults): every insertion of this key raises
    // the expiry pop-up (a certificate ends in 10 days), every removal the
    // device pop-up. Each slides in on its timer; in every tenth cycle the
    // slides are let finish, so the countdown workers start and are cut short
    // by the next event. Counts are taken with both pop-ups at rest.
    Start({{L"UserSetting", L"IsShowSelfWhileInsertUSBKey", L"false"}});
    CUINotifyPopupWnd& certPopup = m_frame_->m_notifyCertWnd_;
    CUINotifyPopupWnd& devicePopup = m_frame_->m_notifyDeviceWnd_;
    auto atRest = [&] {
        return testsupport::WaitFor([&] { return !certPopup.IsSliding() && !devicePopup.IsSliding(); });
    };
    int raised = 0;
    auto cycle = [&](bool settle) {
        Insert(L"zhangsan");
        DeviceEvent();
        raised += IsWindowVisible(certPopup.GetSafeHwnd()) && !IsWindowVisible(devicePopup.GetSafeHwnd());
        if (settle) {
            ASSERT_TRUE(atRest());
        }
        ASSERT_TRUE(m_devices_->RemoveToken(L"ZT2026000A"));
        DeviceEvent();
        raised += IsWindowVisible(devicePopup.GetSafeHwnd()) && !IsWindowVisible(certPopup.GetSafeHwnd());
        if (settle) {
            ASSERT_TRUE(atRest());
        }
    };
    // First use of fonts, images, layouts and pop-ups; the trace is there
    // because the test framework starts a thread of its own at the first one.
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        cycle(true);
    }
    ASSERT_EQ(20, raised) << "the pop-ups did not come";
    ASSERT_TRUE(atRest());
    const long pki = ZentoPKIGetLiveObjectCount();
    const DWORD gdi = testsupport::CountGdiObjects();
    const DWORD user = testsupport::CountUserObjects();
    const DWORD threads = testsupport::CountThreads();
    const std::string threadsBefore = testsupport::DescribeThreads();
    const SIZE_T bytes = PrivateBytes();
    raised = 0;
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE(i);
        cycle(i % 10 == 0);
        if (HasFatalFailure()) return;
    }
    ASSERT_TRUE(atRest());
    EXPECT_EQ(400, raised) << "every event raises its pop-up";
    EXPECT_EQ(pki, ZentoPKIGetLiveObjectCount());
    EXPECT_EQ(gdi, testsupport::CountGdiObjects());
    EXPECT_EQ(user, testsupport::CountUserObjects());
    EXPECT_EQ(threads, testsupport::CountThreads()) << "before:\n" << threadsBefore << "after:\n"
                                                    << testsupport::DescribeThreads();
    // The heap may settle a little; a leak of one page set per cycle would be 800 KB and more.
    EXPECT_LT(PrivateBytes(), bytes + 256 * 1024);
}

TEST_F(MainFrameTest, ReleaseClosesOpenMenusBeforeTheLibraryGoes)
{
    StartWith({L"zhangsan"});
    const HWND copyMenu = CPluginMenuWnd::Open(L"value", 100, 100);
    const HWND lineMenu = CNoDeviceNotifiyCertMenuWnd::Open(m_frame_->m_hWnd, 120, 120);
    ASSERT_TRUE(IsWindow(copyMenu));
    ASSERT_TRUE(IsWindow(lineMenu));
    PluginEntry::OnReleasePlugins();
    EXPECT_FALSE(IsWindow(copyMenu));
    EXPECT_FALSE(IsWindow(lineMenu));
}

namespace {

std::function<void()> g_onThreadTimer;
void CALLBACK RunOnThreadTimer(HWND, UINT, UINT_PTR, DWORD) { g_onThreadTimer(); }
std::function<void(const MSG&)> g_onMessageTaken;
LRESULT CALLBACK RunOnMessageTaken(int code, WPARAM removed, LPARAM msg)
{
    if (code == HC_ACTION && removed == PM_REMOVE) g_onMessageTaken(*reinterpret_cast<const MSG*>(msg));
    return CallNextHookEx(nullptr, code, removed, msg);
}

}  // namespace

// A PKI library may give a new key the handle value of a removed one. The
// key is replaced so after the PIN button was clicked, or after PINs were
// typed and accepted, just before the dialog returns: the change ends with
// the usual failure, and the new key's retry counter is untouched.
TEST_F(MainFrameTest, PinChangeForAKeyReplacedUnderTheSameHandleEndsWithTheFailureMessage)
{
    const int reusedBefore = ZentoPKIHostReuseFreedHandles(1);
    StartWith({L"zhangsan"});
    auto retries = [&](const std::wstring& folder) {
        return static_cast<int>(GetPrivateProfileIntW(L"Token", L"Retries", -1, (folder + L"\\token.ini").c_str()));
    };
    const wchar_t* keys[] = {L"zhangsan", L"lisi"};
    for (int round = 0; round < 2; ++round) {
        const bool whileClosing = round == 1;
        SCOPED_TRACE(whileClosing ? "replaced while the accepted dialog closes" : "replaced after the click");
        const wchar_t* to = keys[1 - round];
        const unsigned long handle = DeviceRecordList::Instance().At(0)->device;
        bool replaced = false;
        auto replace = [&] {
            replaced = true;
            ASSERT_TRUE(m_devices_->RemoveToken(m_devices_->Serials().at(0)));
            Insert(to);
            m_frame_->SendMessage(kHostMsgDeviceChanged, 0, 0);
            ASSERT_EQ(handle, DeviceRecordList::Instance().At(0)->device) << "the stand-in did not reuse the handle";
        };
        // The PINs of the key that was there (wrong for the other), typed
        // and accepted; the key goes as the dialog's OK is taken from the
        // queue, before the device event's own close of the dialog.
        bool typed = false;
        g_onThreadTimer = [&] {
            const HWND dialog = FindWindowW(CUIModifyPasswordDlg::kClassName, nullptr);
            if (!dialog || !IsWindowVisible(dialog) || typed) return;
            if (!whileClosing) {
                PostMessageW(dialog, WM_CLOSE, IDCANCEL, 0);  // it opened for the other key
                return;
            }
            const std::vector<HWND> edits = dialogdriver::WaitForEdits(dialog, 3, 0);
            if (edits.size() != 3) return;
            typed = true;
            SetWindowTextW(edits[0], L"1234");
            SetWindowTextW(edits[1], L"Abc#2026x");
            SetWindowTextW(edits[2], L"Abc#2026x");
            dialogdriver::PressKey(edits[0], VK_RETURN);
        };
        g_onMessageTaken = [&](const MSG& msg) {
            if (whileClosing && !replaced && msg.message == WM_CLOSE && msg.wParam == IDOK) replace();
        };
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &RunOnThreadTimer);
        HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &RunOnMessageTaken, nullptr, GetCurrentThreadId());
        DialogAnswers answers(IDOK);
        Pm().SendNotify(Find(L"Button_ModifyPin", KeyPages()->GetItemAt(0)), L"click");
        if (!whileClosing) replace();
        EXPECT_TRUE(testsupport::WaitFor([&] { return replaced && !FindWindowW(CUIModifyPasswordDlg::kClassName, nullptr); }));
        testsupport::PumpMessages();
        UnhookWindowsHookEx(hook);
        KillTimer(nullptr, timer);
        const auto seen = answers.Stop();
        ASSERT_EQ(1u, seen.size()) << "no failure reported";
        EXPECT_EQ(FormatPinFailText(-1), seen[0].text);
        EXPECT_EQ(retries(pkitest::TokensDir() + L"\\" + to), retries(m_store_->File(to)));
    }
    ZentoPKIHostReuseFreedHandles(reusedBefore);
}

TEST_F(MainFrameTest, NegativeAbsentKeyWaitMeansTheCheckNeverRuns)
{
    struct Delay : CUIMainFrame {
        using CUIMainFrame::ServiceDelayMilliseconds;
    };
    ASSERT_TRUE(testsupport::MakeFolders(m_ui_.Sandbox().UserProductFolder()));
    const std::pair<const wchar_t*, DWORD> cases[] = {
        {L"-1", INFINITE}, {L"-60", INFINITE}, {L"0", 0}, {L"2", 120000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testsupport::ToUtf8(c.first));
        ASSERT_TRUE(WritePrivateProfileStringW(L"UserSetting", L"NoDeviceCertNotifyTime", c.first,
                                               m_ui_.Sandbox().UserIniPath().c_str()));
        UserSettings::Instance().ResetForTesting();
        UserSettings::Instance().Load();
        EXPECT_EQ(c.second, Delay::ServiceDelayMilliseconds());
    }
}

namespace {

int g_countedMade = 0;
int g_countedGone = 0;

class CountedLabel : public CLabelUI {
public:
    CountedLabel() { ++g_countedMade; }
    ~CountedLabel() override { ++g_countedGone; }
};

}  // namespace

TEST_F(MainFrameTest, SubLayoutWhoseRootIsNoContainerIsDeleted)
{
    Insert(L"zhangsan");
    Start();
    // The attribute pages' layout made of one label instead of a container.
    const std::wstring installed = CPaintManagerUI::GetResourcePath();
    testsupport::TempDir skin(L"skin");
    ASSERT_TRUE(testsupport::CopyTree(installed, skin.Path()));
    ASSERT_TRUE(testsupport::WriteFileBytes(skin.File(L"SubXml\\HLayoutCertArrShowContain.xml"),
                                            "<Counted name=\"Label_NoContainer\"/>"));
    CPaintManagerUI::RegisterControlClass(L"Counted",
                                          [] { return static_cast<CControlUI*>(new CountedLabel); });
    CPaintManagerUI::SetResourcePath(skin.Path() + L"\\");
    g_countedMade = g_countedGone = 0;
    DeviceEvent();
    CPaintManagerUI::SetResourcePath(installed);
    EXPECT_GT(g_countedMade, 0);
    EXPECT_EQ(g_countedMade, g_countedGone) << "a built layout was left unowned";
}

TEST_F(MainFrameTest, TeardownEndsTheWaitingServiceThread)
{
    const DWORD before = testsupport::CountThreads();
    Start({{L"NotifyWndSetting", L"IsShowNotifyNoDeviceCertExpireWnd", L"true"},
           {L"UserSetting", L"NoDeviceCertNotifyTime", L"600"}});
    EXPECT_TRUE(m_frame_->IsServiceThreadRunning());
    PluginEntry::OnReleasePlugins();  // returns once the waiting thread has ended
    EXPECT_EQ(nullptr, g_hMainFrameWnd);
    // Ended threads leave the process list a moment after they end.
    EXPECT_TRUE(testsupport::WaitFor([&] { return testsupport::CountThreads() <= before; }))
        << testsupport::CountThreads() << " threads, " << before << " before the start";
}

TEST_F(MainFrameTest, ScreenReaderReadsTwoKeysInReadingOrder)
{
    Insert(L"zhangsan");
    Insert(L"lisi");
    Start({{L"NotifyWndSetting", L"IsShowNotifyDeviceWnd", L"false"},
           {L"NotifyWndSetting", L"IsShowNotifyCertWnd", L"false"}});
    DeviceEvent();
    // A reader hears what is on the screen: the host's window is shown.
    ShowWindow(m_host_->MainWindow(), SW_SHOW);
    RedrawWindow(m_host_->MainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    testsupport::PumpMessages();
    SetFocus(m_frame_->GetSafeHwnd());
    accwalk::ComScope com;
    accwalk::Tree tree(m_frame_->GetSafeHwnd());
    ASSERT_TRUE(tree.ok());
    // Dates, days and serial numbers follow the clock of the run: digits are
    // read as '#'.
    const std::string transcript =
        testsupport::ToUtf8(reader::WithoutDigits(accwalk::Transcript(tree)));
    const std::wstring file = testsupport::SourceDir() + L"\\tests\\ui\\expected\\MainWindowTwoKeys.2052.txt";
    if (::GetEnvironmentVariableW(L"LUMORA_WRITE_TRANSCRIPTS", nullptr, 0)) {
        testsupport::WriteFileBytes(file, transcript);
        return;
    }
    std::string expected;
    ASSERT_TRUE(testsupport::ReadFileBytes(file, expected));
    expected.erase(std::remove(expected.begin(), expected.end(), '\r'), expected.end());
    EXPECT_EQ(expected, transcript);
}

// Typed into the shown host (the Tab order, the certificate dialog and the
// way back are the reader sessions' part): Ctrl+C on a certificate row copies
// the whole certificate as PEM text, and so does the item of the menu that
// the context-menu key and Shift+F10 open; Shift+F10 on an attribute row
// opens its copy menu.
TEST_F(MainFrameTest, KeyboardAloneCopiesACertificateAndAnAttribute)
{
    Insert(L"zhangsan");  // ZT2026000A
    Insert(L"lisi");
    Start({{L"NotifyWndSetting", L"IsShowNotifyDeviceWnd", L"false"},
           {L"NotifyWndSetting", L"IsShowNotifyCertWnd", L"false"}});
    DeviceEvent();
    ASSERT_TRUE(keyinput::Activate(m_host_->MainWindow()));
    SetFocus(m_frame_->GetSafeHwnd());
    Press(VK_TAB);
    Press(VK_UP);  // Zhang San's key
    ASSERT_EQ(1, KeyPages()->GetCurSel());
    ASSERT_TRUE(TabTo(L"Button_CertDisplayName"));
    const std::string sign = FixtureSha1(L"sign_1y");
    auto expectCertificateCopied = [&] {
        ASSERT_TRUE(testsupport::WaitFor([] { return !testsupport::ClipboardText().empty(); }));
        EXPECT_EQ(sign, testsupport::OpensslSha1(testsupport::ClipboardText(), L"PEM"));
        EXPECT_EQ(testsupport::FromUtf8(testsupport::ClipboardText()), testsupport::ClipboardUnicodeText());
    };
    ClearClipboard();
    keyinput::Type('C', keyinput::kCtrl);
    expectCertificateCopied();
    for (const auto& key : {std::make_pair(WORD(VK_APPS), unsigned(keyinput::kNone)),
                            std::make_pair(WORD(VK_F10), unsigned(keyinput::kShift))}) {
        SCOPED_TRACE(key.first);
        ClearClipboard();
        keyinput::Type(key.first, key.second);
        HWND certMenu = nullptr;
        ASSERT_TRUE(testsupport::WaitFor([&] {
            certMenu = FindWindowW(L"ZENTO_PluginMenuWnd", nullptr);
            return certMenu && GetFocus() == certMenu;
        }));
        {
            accwalk::ComScope com;
            accwalk::Tree tree(certMenu);
            EXPECT_NE(nullptr, tree.Find(ROLE_SYSTEM_MENUITEM, GetLanguageString("STRING_ACC_COPY_CERT")));
        }
        keyinput::Type(VK_RETURN);
        ASSERT_TRUE(testsupport::WaitFor([&] { return !IsWindow(certMenu); }));
        expectCertificateCopied();
    }

    // Shift+F10 on the second attribute row (the serial number) opens the
    // copy menu; Enter copies.
    ASSERT_TRUE(TabTo(L"Option_CertArritube"));
    Press(VK_DOWN);
    ASSERT_EQ(L"ZT2026000A", Pm().GetFocus()->GetUserData());
    ClearClipboard();
    Press(VK_F10, true);
    HWND menu = FindWindowW(L"ZENTO_PluginMenuWnd", nullptr);
    ASSERT_NE(nullptr, menu);
    ASSERT_TRUE(testsupport::WaitFor([&] { return GetFocus() == menu; }));
    Press(VK_RETURN);
    ASSERT_TRUE(testsupport::WaitFor([&] { return !IsWindow(menu); }));
    ExpectClipboardHolds(L"ZT2026000A", "ZT2026000A");
}
