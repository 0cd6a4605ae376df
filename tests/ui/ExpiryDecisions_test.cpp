// Which pop-up the main window raises with which number as keys go in and out of the host's store.
// Remaining days come from the certificate arithmetic of the machine's zone.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "ZentoPKITestSupport.h"
#include "Cert/Cert_Util.h"
#include "Cert/DeviceRecord.h"
#include "HostTokenStore.h"
#include "LoggingSandbox.h"
#include "Plugin/LumoraPluginModule.h"
#include "Plugin/PluginEntry.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "UI/UIMainFrame.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

using testsupport::WaitFor;

namespace {

using pkitest::RemainDays;

class ExpiryEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(sandbox.Start());
        Set(L"NotifyWndSetting", L"NotifyCertDay", L"30");
        // The absent-key reminder has tests of its own; here it would only add a window.
        Set(L"NotifyWndSetting", L"IsShowNotifyNoDeviceCertExpireWnd", L"false");
        tamu::HostOptions options;
        options.languageId = 2052;
        host = std::make_unique<tamu::Host>(options);
        ASSERT_TRUE(host->Start());
        store = std::make_unique<tamu::TokenStoreDevices>(*host, storeFolder.Path());
        host->SetDeviceProvider(store.get());
        ASSERT_EQ(0, PluginEntry::OnInitPlugins(host.get()));
        ASSERT_NE(nullptr, PluginEntry::Module());
        frame = static_cast<CUIMainFrame*>(CWnd::FromHandlePermanent(PluginEntry::Module()->View().GetWindow()));
        ASSERT_NE(nullptr, frame);
        ASSERT_TRUE(frame->m_notifyCertWnd_.GetSafeHwnd() && frame->m_notifyDeviceWnd_.GetSafeHwnd());
    }
    void TearDown() override
    {
        PluginEntry::OnReleasePlugins();
        host->SetDeviceProvider(nullptr);
        store.reset();
        host.reset();
        DeviceRecordList::Instance().Clear();
    }

    void Set(const wchar_t* section, const wchar_t* key, const std::wstring& value)
    {
        ASSERT_TRUE(UserSettings::Instance().SetValue(section, key, value));
    }
    // Puts a fixture key into the host's store and waits until the frame has
    // counted `present` keys.
    void Insert(const wchar_t* token, int present)
    {
        ASSERT_TRUE(store->InsertToken(pkitest::TokensDir() + L"\\" + token));
        ASSERT_TRUE(WaitFor([&] { return frame->lastDeviceCount == present; })) << "no device event";
    }
    void Remove(const wchar_t* serial, int present)
    {
        ASSERT_TRUE(store->RemoveToken(serial));
        ASSERT_TRUE(WaitFor([&] { return frame->lastDeviceCount == present; })) << "no device event";
    }
    HWND CertPopup() const { return frame->m_notifyCertWnd_.GetSafeHwnd(); }
    HWND DevicePopup() const { return frame->m_notifyDeviceWnd_.GetSafeHwnd(); }
    bool CertPopupShown() { return WaitFor([&] { return IsWindowVisible(CertPopup()) != FALSE; }); }
    bool DevicePopupShown() { return WaitFor([&] { return IsWindowVisible(DevicePopup()) != FALSE; }); }
    // Lets the certificate pop-up finish its slide, then takes it away, so a
    // later showing can only come from a new decision.
    void HideCertPopupAfterItsSlide()
    {
        ASSERT_TRUE(CertPopupShown());
        ASSERT_TRUE(WaitFor([&] { return !frame->m_notifyCertWnd_.IsSliding(); }));
        ShowWindow(CertPopup(), SW_HIDE);
    }
    std::wstring CertMessage()
    {
        DuiLib::CControlUI* label = frame->m_notifyCertWnd_.GetPaintManager().FindControl(L"label_Msg");
        return label ? label->GetText() : L"<no label_Msg>";
    }
    bool Logged(const std::string& text)
    {
        for (const auto& line : sandbox.Lines())
            if (line.text.find(text) != std::string::npos) return true;
        return false;
    }

    testsupport::LoggingSandbox sandbox;
    testsupport::TempDir storeFolder{L"store"};
    std::unique_ptr<tamu::Host> host;
    std::unique_ptr<tamu::TokenStoreDevices> store;
    CUIMainFrame* frame = nullptr;
};

}  // namespace

TEST_F(ExpiryEndToEnd, InsertedKeyWithAnExpiringCertificateRaisesTheCertificatePopup)
{
    const int days = RemainDays(L"sign_10d");  // the earliest end on 张三's key, in its second key pair
    ASSERT_NO_FATAL_FAILURE(Insert(L"zhangsan", 1));
    ASSERT_TRUE(CertPopupShown());
    EXPECT_EQ(days, frame->m_notifyCertWnd_.GetRemainDays());
    EXPECT_NE(GetLanguageString("STRING_NOTICE_WINDOW_MSG"), CertMessage());
    EXPECT_NE(std::wstring::npos, CertMessage().find(std::to_wstring(days)));
    EXPECT_FALSE(IsWindowVisible(DevicePopup()));
    EXPECT_EQ(CUINotifyDeviceEventWnd::kNoModeYet, frame->m_notifyDeviceWnd_.GetDeviceEventMode());
    EXPECT_TRUE(Logged("] if(iNotifyCertCount>0)   NotifyCertremaindays  is" + std::to_string(days)));
}

TEST_F(ExpiryEndToEnd, WithoutTheCertificatePopupTheInsertionIsAnnounced)
{
    Set(L"NotifyWndSetting", L"IsShowNotifyCertWnd", L"false");
    ASSERT_NO_FATAL_FAILURE(Insert(L"zhangsan", 1));
    ASSERT_TRUE(DevicePopupShown());
    EXPECT_EQ(CUINotifyDeviceEventWnd::kInserted, frame->m_notifyDeviceWnd_.GetDeviceEventMode());
    EXPECT_FALSE(IsWindowVisible(CertPopup()));
    EXPECT_EQ(-1, frame->m_notifyCertWnd_.GetRemainDays());
    EXPECT_TRUE(Logged("] if(deviceCount-curLastDeviceCount>0)else NotifyCertremaindays  is"));
    EXPECT_TRUE(Logged("] if(deviceCount-curLastDeviceCount>0) Leave"));
}

TEST_F(ExpiryEndToEnd, RemovalWarnsOfTheRemainingKeysCertificatesFirst)
{
    ASSERT_NO_FATAL_FAILURE(Insert(L"zhangsan", 1));
    ASSERT_NO_FATAL_FAILURE(Insert(L"empty", 2));
    ASSERT_NO_FATAL_FAILURE(HideCertPopupAfterItsSlide());

    // 张三's key stays: its certificate ending within the lead time wins.
    ASSERT_NO_FATAL_FAILURE(Remove(L"ZT2026000C", 1));
    ASSERT_TRUE(CertPopupShown());
    EXPECT_EQ(RemainDays(L"sign_10d"), frame->m_notifyCertWnd_.GetRemainDays());
    EXPECT_NE(CUINotifyDeviceEventWnd::kRemoved, frame->m_notifyDeviceWnd_.GetDeviceEventMode());

    // Without it, the removal itself is announced and the certificate pop-up goes.
    ASSERT_NO_FATAL_FAILURE(Insert(L"empty", 2));
    ASSERT_TRUE(WaitFor([&] { return !frame->m_notifyCertWnd_.IsSliding(); }));
    ASSERT_NO_FATAL_FAILURE(Remove(L"ZT2026000A", 1));
    ASSERT_TRUE(DevicePopupShown());
    EXPECT_EQ(CUINotifyDeviceEventWnd::kRemoved, frame->m_notifyDeviceWnd_.GetDeviceEventMode());
    EXPECT_FALSE(IsWindowVisible(CertPopup()));
    EXPECT_TRUE(Logged("]  if(deviceCount-curLastDeviceCount<0) Enter"));
}

TEST_F(ExpiryEndToEnd, AnUnchangedKeyCountRaisesNothing)
{
    ASSERT_NO_FATAL_FAILURE(Insert(L"zhangsan", 1));
    ASSERT_NO_FATAL_FAILURE(HideCertPopupAfterItsSlide());
    // The refresh runs inside the call; anything it posted is handled by the pump.
    SendMessageW(frame->GetSafeHwnd(), kHostMsgDeviceChanged, 0, 0);
    testsupport::PumpMessages();
    EXPECT_EQ(1, frame->lastDeviceCount);
    EXPECT_FALSE(IsWindowVisible(CertPopup()));
    EXPECT_FALSE(IsWindowVisible(DevicePopup()));
}

TEST_F(ExpiryEndToEnd, UnderADayLeftShowsZeroWithThePlainMessage)
{
    ASSERT_NO_FATAL_FAILURE(Insert(L"expiring", 1));  // 12 hours left, one expired, one expired authority
    ASSERT_TRUE(CertPopupShown());
    EXPECT_EQ(0, frame->m_notifyCertWnd_.GetRemainDays());
    EXPECT_EQ(GetLanguageString("STRING_NOTICE_WINDOW_MSG"), CertMessage());
    EXPECT_TRUE(Logged("] ProcessNotifyCertEvent BeginGetCerts Cert_Util::IsCertExpired"));
}
