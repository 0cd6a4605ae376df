// The three sliding pop-ups on real windows: slide geometry step by step,
// a slide-in that interrupts a slide-out, the auto-hide countdowns and the
// mouse, the certificate pop-up's message and lead time, the absent-key
// pop-up's lines and its do-not-remind question (answered by automation),
// and teardown in the middle of a slide or a countdown. Objects left behind
// over many notifications are counted by the main window's insert/remove
// cycles.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ZentoPKITestSupport.h"
#include "Cert/Cert_Util.h"
#include "DialogDriver.h"
#include "DuiLib/DuiLib.h"
#include "ProductUi.h"
#include "TestSupport.h"
#include "UI/ForbidNotifyMarkers.h"
#include "UI/MenuWnd.h"
#include "UI/NoDeviceNotifySchedule.h"
#include "UI/UIMainFrame.h"
#include "UI/UINotifyCertEventWnd.h"
#include "UI/UINotifyDeviceEventWnd.h"
#include "UI/UINotifyNoDeviceCertEventWnd.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

using namespace DuiLib;
using dialogdriver::DialogAnswers;
using testsupport::WaitFor;

namespace {

// GetTickCount advances in steps of 10 to 16 ms.
constexpr DWORD kTickAllowance = 32;

// The countdowns run with this delay instead of the class's own (8, 3 or
// 20 s): each class's delay is checked as a value, the worker's keeping of
// a delay over this shorter window, which fails the same ways.
constexpr DWORD kShortDelay = 600;

template <class Popup>
class ShortCountdown : public Popup {
public:
    void SetHideDelay(DWORD milliseconds) { Popup::SetHideDelay(static_cast<int>(milliseconds)); }
};

RECT WindowRectOf(HWND hwnd)
{
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

// Asks for a work area with its right edge at 1920, as on a full-HD screen.
// Where the system keeps its own, the tests read back what the pop-ups will
// see and shift every expected position by the difference.
class ScopedWorkArea {
public:
    explicit ScopedWorkArea(const RECT& area)
    {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &m_old_, 0);
        RECT copy = area;
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &copy, 0);
    }
    ~ScopedWorkArea() { SystemParametersInfoW(SPI_SETWORKAREA, 0, &m_old_, 0); }

private:
    RECT m_old_ = {};
};

class PopupTest : public pkitest::PkiTest {
protected:
    // Runs the slide to its end with messages pumped; false on time-out.
    static bool FinishSlide(CUINotifyPopupWnd& popup)
    {
        return WaitFor([&] { return !popup.IsSliding(); }, 3000);
    }

    productui::ProductUi ui{2052};
};

}  // namespace

TEST_F(PopupTest, SlideInFollowsTheCurveAndSlideOutIsLinear)
{
    ScopedWorkArea area({0, 0, 1920, 1040});
    const RECT work = CUINotifyPopupWnd::GetPopupWorkArea();
    auto at1920 = [&](LONG right) { return right - work.right + 1920; };  // as if the edge were at 1920
    CUINotifyDeviceEventWnd popup;
    ASSERT_TRUE(popup.CreateWnd(nullptr));
    ASSERT_TRUE(
        SetWindowPos(popup.m_hWnd, nullptr, 0, 0, 300, 132, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    popup.SetDeviceEventMode(0);

    // Steps driven one by one, without pumping, so no timer tick interferes.
    ASSERT_EQ(1, SendMessageW(popup.m_hWnd, WM_USER + 101, 0, 0));
    EXPECT_TRUE(IsWindowVisible(popup.m_hWnd));
    EXPECT_EQ(2220, at1920(WindowRectOf(popup.m_hWnd).right));
    EXPECT_EQ(work.bottom - 132, WindowRectOf(popup.m_hWnd).top);
    std::vector<LONG> rights;
    for (int step = 1; step <= 24; ++step) {
        SendMessageW(popup.m_hWnd, WM_TIMER, CUINotifyPopupWnd::kMoveTimerId, 0);
        rights.push_back(at1920(WindowRectOf(popup.m_hWnd).right));
        EXPECT_EQ(work.bottom, WindowRectOf(popup.m_hWnd).bottom) << step;
    }
    EXPECT_EQ(2130, rights[0]);   // 0.2986 of the way in one step
    EXPECT_EQ(1872, rights[7]);   // overshoot 48 px to the left
    EXPECT_EQ(1991, rights[18]);  // swung back past the edge
    EXPECT_EQ(1920, rights[23]);
    EXPECT_FALSE(popup.IsSliding());
    EXPECT_FALSE(KillTimer(popup.m_hWnd, CUINotifyPopupWnd::kMoveTimerId)) << "timer left running";

    ASSERT_EQ(1, SendMessageW(popup.m_hWnd, WM_USER + 101, 1, 0));
    for (int step = 1; step <= 23; ++step) {
        SendMessageW(popup.m_hWnd, WM_TIMER, CUINotifyPopupWnd::kMoveTimerId, 0);
        EXPECT_EQ(1920 + 300 * step / 25, at1920(WindowRectOf(popup.m_hWnd).right)) << step;
    }
    EXPECT_EQ(1920 + 276, at1920(WindowRectOf(popup.m_hWnd).right));  // 92 %
    EXPECT_TRUE(IsWindowVisible(popup.m_hWnd));
    SendMessageW(popup.m_hWnd, WM_TIMER, CUINotifyPopupWnd::kMoveTimerId, 0);
    EXPECT_FALSE(IsWindowVisible(popup.m_hWnd));
    EXPECT_FALSE(KillTimer(popup.m_hWnd, CUINotifyPopupWnd::kMoveTimerId));
}

TEST_F(PopupTest, SlideInDuringSlideOutStartsAgainFromOffScreen)
{
    const RECT work = CUINotifyPopupWnd::GetPopupWorkArea();
    CUINotifyDeviceEventWnd popup;
    ASSERT_TRUE(popup.CreateWnd(nullptr));
    popup.SetDeviceEventMode(0);
    const LONG width = WindowRectOf(popup.m_hWnd).right - WindowRectOf(popup.m_hWnd).left;
    SendMessageW(popup.m_hWnd, WM_USER + 101, 0, 0);
    for (int step = 1; step <= 24; ++step)
        SendMessageW(popup.m_hWnd, WM_TIMER, CUINotifyPopupWnd::kMoveTimerId, 0);
    SendMessageW(popup.m_hWnd, WM_USER + 101, 1, 0);
    for (int step = 1; step <= 10; ++step)
        SendMessageW(popup.m_hWnd, WM_TIMER, CUINotifyPopupWnd::kMoveTimerId, 0);
    EXPECT_EQ(work.right + width * 10 / 25, WindowRectOf(popup.m_hWnd).right);

    SendMessageW(popup.m_hWnd, WM_USER + 101, 0, 0);
    EXPECT_EQ(0, popup.GetMoveStep());
    EXPECT_EQ(0, popup.GetSlideDirection());
    EXPECT_EQ(work.right + width, WindowRectOf(popup.m_hWnd).right) << "restarts outside the work area";
    ASSERT_TRUE(FinishSlide(popup));
    EXPECT_EQ(work.right, WindowRectOf(popup.m_hWnd).right);
    EXPECT_TRUE(IsWindowVisible(popup.m_hWnd));
}

TEST_F(PopupTest, DevicePopupHidesAfterItsDelayAndTheMousePausesIt)
{
    ShortCountdown<CUINotifyDeviceEventWnd> popup;
    ASSERT_TRUE(popup.CreateWnd(nullptr));
    EXPECT_FALSE(IsWindowVisible(popup.m_hWnd));
    EXPECT_EQ(2, popup.GetDeviceEventMode());

    // Inserted: the slide takes about half a second, then 8 s on screen.
    popup.SetDeviceEventMode(0);
    EXPECT_EQ(8000, popup.GetHideDelay());
    popup.SetHideDelay(kShortDelay);
    const DWORD slideStart = GetTickCount();
    SendMessageW(popup.m_hWnd, WM_USER + 101, 0, 0);
    ASSERT_TRUE(FinishSlide(popup));
    const DWORD slideEnd = GetTickCount();
    std::printf("[ measured ] slide: %lu ms for 24 steps (%.1f ms a step)\n", slideEnd - slideStart,
                (slideEnd - slideStart) / 24.0);
    ASSERT_TRUE(WaitFor([&] { return popup.GetSlideDirection() == 1; }, kShortDelay + 5000));
    const DWORD hideStart = GetTickCount();
    // slideEnd is read just after the step that started the countdown; the
    // allowance covers the tick counter's granularity, not a late worker.
    EXPECT_GE(hideStart - slideEnd + kTickAllowance, kShortDelay);
    EXPECT_LE(hideStart - slideEnd, kShortDelay + 4000);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(popup.m_hWnd); }, 3000));

    // Removed: 3 s; the mouse resting on it keeps it, leaving restarts 3 s.
    popup.SetDeviceEventMode(1);
    EXPECT_EQ(3000, popup.GetHideDelay());
    popup.SetHideDelay(kShortDelay);
    SendMessageW(popup.m_hWnd, WM_USER + 101, 0, 0);
    ASSERT_TRUE(FinishSlide(popup));
    SendMessageW(popup.m_hWnd, WM_MOUSEHOVER, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(popup.IsMouseOver());
    const DWORD hoverStart = GetTickCount();
    // Three times the delay: a countdown the mouse did not stop would have hidden it.
    EXPECT_FALSE(WaitFor([&] { return popup.GetSlideDirection() == 1; }, 3 * kShortDelay))
        << "hid under the mouse";
    EXPECT_GE(GetTickCount() - hoverStart, 3 * kShortDelay);
    // Leaving sets the class's own delay again, so this wait is the real 3 s.
    SendMessageW(popup.m_hWnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(3000, popup.GetHideDelay());
    const DWORD left = GetTickCount();
    ASSERT_TRUE(WaitFor([&] { return popup.GetSlideDirection() == 1; }, 10000));
    EXPECT_GE(GetTickCount() - left + kTickAllowance, 3000u);
    EXPECT_LE(GetTickCount() - left, 7000u);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(popup.m_hWnd); }, 3000));
    EXPECT_FALSE(KillTimer(popup.m_hWnd, CUINotifyPopupWnd::kMoveTimerId));
}

TEST_F(PopupTest, CertificatePopupStaysTwentySecondsAndFillsMessageAndLeadTime)
{
    ASSERT_TRUE(UserSettings::Instance().SetNotifyCertDay(L"30"));
    ShortCountdown<CUINotifyCertEventWnd> popup;
    EXPECT_EQ(10000, popup.GetHideDelay());
    ASSERT_TRUE(popup.CreateWnd(nullptr));
    CPaintManagerUI& pm = popup.GetPaintManager();
    pm.UpdateLayout();  // "windowinit" without waiting for the first paint
    auto* combo = ControlCast<CComboUI>(pm.FindControl(L"Combo_CertRemaindaysSetting"));
    ASSERT_NE(nullptr, combo);

    popup.ShowCertificateList(7);
    EXPECT_EQ(L"{f  3}您的证书{f  4}{c #faf55f}7{/c}{/f}天后过期,请尽快续期!{/f}",
              pm.FindControl(L"label_Msg")->GetText());
    EXPECT_EQ(1, combo->GetCurSel());
    EXPECT_EQ(L"过期前60天提醒", combo->GetItemAt(0)->GetText());
    for (int days : {0, -2}) {
        popup.ShowCertificateList(days);
        EXPECT_EQ(L"{f 3}您的证书即将过期,请尽快续期!{/f}", pm.FindControl(L"label_Msg")->GetText());
    }
    ASSERT_TRUE(UserSettings::Instance().SetNotifyCertDay(L"45"));
    popup.ShowCertificateList(3);
    EXPECT_EQ(-1, combo->GetCurSel());

    // Picking an item stores the lead time; the first showing hid the
    // renewal button (no host says it is installed).
    const DWORD slideStart = GetTickCount();
    SendMessageW(popup.m_hWnd, WM_USER + 101, 0, 0);
    EXPECT_EQ(20000, popup.GetHideDelay());
    // The worker reads the delay when the slide ends and the countdown starts.
    popup.SetHideDelay(kShortDelay);
    ASSERT_TRUE(FinishSlide(popup));
    const DWORD slideEnd = GetTickCount();
    EXPECT_FALSE(pm.FindControl(L"Button_ShowReviewCert")->IsVisible());
    combo->SelectItem(2, false, true);
    EXPECT_EQ(15, UserSettings::Instance().GetNotifyCertDay());

    ASSERT_TRUE(WaitFor([&] { return popup.GetSlideDirection() == 1; }, kShortDelay + 10000));
    EXPECT_GE(GetTickCount() - slideEnd + kTickAllowance, kShortDelay);
    EXPECT_LE(GetTickCount() - slideStart, kShortDelay + 5000);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(popup.m_hWnd); }, 3000));
}

TEST_F(PopupTest, TeardownDuringSlideOrCountdownEndsTheWorkerAtOnce)
{
    for (int phase = 0; phase < 2; ++phase) {
        SCOPED_TRACE(phase == 0 ? "during the slide" : "during the countdown");
        const DWORD before = testsupport::CountThreads();
        auto popup = std::make_unique<CUINotifyCertEventWnd>();
        ASSERT_TRUE(popup->CreateWnd(nullptr));
        EXPECT_TRUE(popup->HasAutoHideWorker());
        SendMessageW(popup->m_hWnd, WM_USER + 101, 0, 0);
        if (phase == 1)
            ASSERT_TRUE(FinishSlide(*popup));
        else
            EXPECT_TRUE(popup->IsSliding());
        const DWORD withWorker = testsupport::CountThreads();
        EXPECT_GT(withWorker, before);
        const DWORD start = GetTickCount();
        popup.reset();
        EXPECT_LT(GetTickCount() - start, 1000u);
        EXPECT_EQ(withWorker - 1, testsupport::CountThreads());
    }
}

// A host that starts the plug-in twice has two pop-ups of each class: one's
// start must wake its own worker, and one going must leave the other's
// countdown running.
TEST_F(PopupTest, TwoPopupsOfOneClassCountDownOnTheirOwn)
{
    auto first = std::make_unique<ShortCountdown<CUINotifyDeviceEventWnd>>();
    ShortCountdown<CUINotifyDeviceEventWnd> second;
    ASSERT_TRUE(first->CreateWnd(nullptr));
    ASSERT_TRUE(second.CreateWnd(nullptr));
    ASSERT_TRUE(first->HasAutoHideWorker() && second.HasAutoHideWorker());
    auto slideIn = [&](CUINotifyPopupWnd& popup) {
        SendMessageW(popup.m_hWnd, WM_USER + 101, 0, 0);
        return FinishSlide(popup);
    };
    auto hidesWithin = [&](CUINotifyPopupWnd& popup, DWORD ms) {
        return WaitFor([&] { return popup.GetSlideDirection() == 1; }, ms);
    };
    // Only the first counts down; the second's worker waits as well.
    first->SetHideDelay(kShortDelay);
    ASSERT_TRUE(slideIn(*first));
    EXPECT_TRUE(hidesWithin(*first, 3000)) << "its start woke another pop-up's worker";
    // Both count down; the first goes meanwhile.
    second.SetHideDelay(2 * kShortDelay);
    ASSERT_TRUE(slideIn(*first));
    ASSERT_TRUE(slideIn(second));
    first.reset();
    EXPECT_TRUE(hidesWithin(second, 5000)) << "the first's end cancelled the second's countdown";
}

// Idle means idle: no move timer left, no message to our windows and no
// thread of ours waking, counted rather than weighed, so a wake-up of any
// period within the window fails, however little it costs.
TEST_F(PopupTest, IdlePopupsSetNoTimerAndNothingOfTheirsWakes)
{
    const std::map<unsigned long, unsigned long long> before = testsupport::ThreadSwitches();
    CUINotifyDeviceEventWnd device;
    CUINotifyCertEventWnd cert;
    ASSERT_TRUE(device.CreateWnd(nullptr));
    ASSERT_TRUE(cert.CreateWnd(nullptr));
    // The counter must see the pop-ups' two workers come.
    std::vector<unsigned long> workers;
    for (const auto& thread : testsupport::ThreadSwitches())
        if (!before.count(thread.first)) workers.push_back(thread.first);
    ASSERT_EQ(2u, workers.size()) << "threads are not counted here";
    // One full notification first: in, countdown started, out, hidden.
    device.SetDeviceEventMode(0);
    SendMessageW(device.m_hWnd, WM_USER + 101, 0, 0);
    ASSERT_TRUE(FinishSlide(device));
    SendMessageW(device.m_hWnd, WM_USER + 101, 1, 0);
    ASSERT_TRUE(FinishSlide(device));
    ASSERT_FALSE(IsWindowVisible(device.m_hWnd));
    EXPECT_FALSE(KillTimer(device.m_hWnd, CUINotifyPopupWnd::kMoveTimerId));
    EXPECT_FALSE(KillTimer(cert.m_hWnd, CUINotifyPopupWnd::kMoveTimerId));

    testsupport::PumpMessages();
    const std::map<unsigned long, unsigned long long> start = testsupport::ThreadSwitches();
    int messages = 0;
    constexpr DWORD kWindowMs = 10000;
    const DWORD until = GetTickCount() + kWindowMs;
    for (DWORD now = GetTickCount(); now < until; now = GetTickCount()) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_ALLINPUT) != WAIT_OBJECT_0) continue;
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
            if (msg.hwnd == device.m_hWnd || msg.hwnd == cert.m_hWnd || !msg.hwnd) {
                ++messages;
                ADD_FAILURE() << "message " << msg.message << " woke this thread";
            }
            DispatchMessageW(&msg);
        }
    }
    const std::map<unsigned long, unsigned long long> end = testsupport::ThreadSwitches();
    EXPECT_EQ(0, messages);
    unsigned long long switches = 0;
    for (unsigned long worker : workers) {
        ASSERT_TRUE(start.count(worker) && end.count(worker)) << "worker " << worker << " ended";
        EXPECT_EQ(start.at(worker), end.at(worker)) << "worker " << worker << " woke";
        switches += end.at(worker) - start.at(worker);
    }
    std::printf("[ measured ] over %lu s idle: %d messages, %llu worker switches\n", kWindowMs / 1000, messages,
                switches);
}

namespace {

std::string FileBytes(const std::wstring& name)
{
    std::string bytes;
    testsupport::ReadFileBytes(pkitest::CertFile(name), bytes);
    return bytes;
}

}  // namespace

TEST_F(PopupTest, AbsentKeyLinesAndTheDoNotRemindQuestion)
{
    CachedDeviceRecordList records;
    records.push_back(std::make_unique<CachedDeviceRecord>());
    records.back()->m_signCert_ = FileBytes(L"sign_10d");
    records.back()->m_remainDays_ = 10;
    records.push_back(nullptr);
    records.push_back(std::make_unique<CachedDeviceRecord>());
    records.back()->m_signCert_ = "not a certificate";  // falls back to the encryption certificate
    records.back()->m_encCert_ = FileBytes(L"enc_10d");
    records.back()->m_remainDays_ = 0;
    records.push_back(std::make_unique<CachedDeviceRecord>());  // nothing to show: no line
    ASSERT_FALSE(records[0]->m_signCert_.empty());

    CUINotifyNoDeviceCertEventWnd popup;
    popup.SetNoDeviceNotifyList(&records);
    ASSERT_TRUE(popup.CreateWnd(nullptr));
    const HWND hwnd = popup.m_hWnd;
    CPaintManagerUI& pm = popup.GetPaintManager();
    auto* list = ControlCast<CContainerUI>(pm.FindControl(L"VLayout_CertNotifyContain"));
    ASSERT_NE(nullptr, list);
    ASSERT_TRUE(WaitFor([&] { return popup.GetMoveStep() >= 24 && !popup.IsSliding(); }, 5000));
    ASSERT_EQ(2, list->GetCount());
    EXPECT_EQ(CUINotifyPopupWnd::GetPopupWorkArea().right, WindowRectOf(hwnd).right);

    std::wstring names[2];
    for (int i = 0; i < 2; ++i) {
        Cert_Util::GetCertStringAttribute(
            static_cast<unsigned long>(
                pm.FindSubControlByName(list->GetItemAt(i), L"Option_CertShow")->GetTag()),
            16, names[i]);
        EXPECT_EQ(names[i],
                  pm.FindSubControlByName(list->GetItemAt(i), L"Lable_CertDisplayNameItem")->GetText());
    }
    EXPECT_EQ(L"10天后过期",
              pm.FindSubControlByName(list->GetItemAt(0), L"Lable_CertRemainDayItem")->GetText());
    EXPECT_EQ(L"24小时内过期",
              pm.FindSubControlByName(list->GetItemAt(1), L"Lable_CertRemainDayItem")->GetText());

    auto openMenu = [&](int line) {
        CControlUI* button = pm.FindSubControlByName(list->GetItemAt(line), L"Button_Menu");
        pm.SendNotify(button, DUI_MSGTYPE_CLICK);
    };
    openMenu(0);
    openMenu(1);  // the first selection's copy is freed (checked at teardown)
    EXPECT_EQ(list->GetItemAt(1), popup.GetSelectedLine());
    ASSERT_NE(0u, popup.GetSelectedCertificate());

    {
        DialogAnswers no(IDNO);
        EXPECT_EQ(1, SendMessageW(hwnd, WM_USER + 102, 0, 0));
        const auto seen = no.Stop();
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ(L"提示", seen[0].caption);
        EXPECT_NE(std::wstring::npos, seen[0].text.find(names[1])) << testsupport::ToUtf8(seen[0].text);
    }
    EXPECT_EQ(2, list->GetCount());
    EXPECT_EQ(0u, popup.GetSelectedCertificate());
    const unsigned long second =
        static_cast<unsigned long>(pm.FindSubControlByName(list->GetItemAt(1), L"Option_CertShow")->GetTag());
    EXPECT_FALSE(HasForbidNotifyMarker(second));

    openMenu(1);
    {
        DialogAnswers yes(IDYES);
        SendMessageW(hwnd, WM_USER + 102, 0, 0);
        ASSERT_EQ(1u, yes.Stop().size());
    }
    EXPECT_TRUE(HasForbidNotifyMarker(second));
    testsupport::PumpMessages();
    ASSERT_EQ(1, list->GetCount());
    EXPECT_TRUE(IsWindow(hwnd));

    openMenu(0);
    {
        DialogAnswers yes(IDYES);
        SendMessageW(hwnd, WM_USER + 102, 0, 0);
        ASSERT_EQ(1u, yes.Stop().size());
    }
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(hwnd); }, 3000)) << "the last line closes the pop-up";
    EXPECT_EQ(nullptr, popup.m_hWnd);

    // The next reminder makes a fresh window from the same object; the
    // certificates handled above have left the list.
    ASSERT_TRUE(popup.CreateWnd(nullptr));
    ASSERT_TRUE(WaitFor([&] { return popup.GetMoveStep() >= 24 && !popup.IsSliding(); }, 5000));
    auto* again = ControlCast<CContainerUI>(pm.FindControl(L"VLayout_CertNotifyContain"));
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(0, again->GetCount());
    EXPECT_EQ(0u, popup.GetSelectedCertificate());
}

namespace {

// An absent-key pop-up with two lines: a certificate ending in 10 days and
// one ending within 24 hours, in that order.
class AbsentKeyPopup {
public:
    AbsentKeyPopup()
    {
        for (const auto& [file, days] : {std::make_pair(L"sign_10d", 10), std::make_pair(L"enc_10d", 0)}) {
            records.push_back(std::make_unique<CachedDeviceRecord>());
            records.back()->m_signCert_ = FileBytes(file);
            records.back()->m_remainDays_ = days;
        }
        popup.SetNoDeviceNotifyList(&records);
    }
    bool Show()
    {
        return popup.CreateWnd(nullptr) && WaitFor([&] {
                   return popup.GetMoveStep() >= 24 && !popup.IsSliding() && Lines() &&
                          Lines()->GetCount() == 2;
               });
    }
    CPaintManagerUI& Pm() { return popup.GetPaintManager(); }
    CContainerUI* Lines()
    {
        return ControlCast<CContainerUI>(Pm().FindControl(L"VLayout_CertNotifyContain"));
    }
    CControlUI* Line(int i, const wchar_t* name)
    {
        return Pm().FindSubControlByName(Lines()->GetItemAt(i), name);
    }
    unsigned long LineCert(int i)
    {
        return static_cast<unsigned long>(Line(i, L"Option_CertShow")->GetTag());
    }
    void OpenMenu(int i) { Pm().SendNotify(Line(i, L"Button_Menu"), DUI_MSGTYPE_CLICK); }
    void CloseMenus()
    {
        for (HWND menu : dialogdriver::TopLevelOfClass(CMenuWndBase::kClassName)) DestroyWindow(menu);
    }

    CachedDeviceRecordList records;
    CUINotifyNoDeviceCertEventWnd popup;
};

}  // namespace

TEST_F(PopupTest, AbsentKeyDoubleClickWithoutALiveMainWindowKeepsNoCopy)
{
    AbsentKeyPopup absent;
    ASSERT_TRUE(absent.Show());
    const HWND gone =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    const HWND savedMainFrame = g_hMainFrameWnd;
    for (HWND mainFrame : {HWND(nullptr), gone}) {
        SCOPED_TRACE(mainFrame ? "a main window that is gone" : "no main window");
        g_hMainFrameWnd = mainFrame;
        const long live = ZentoPKIGetLiveObjectCount();
        absent.Pm().SendNotify(absent.Line(0, L"Option_CertShow"), DUI_MSGTYPE_DBCLICK);
        EXPECT_EQ(live, ZentoPKIGetLiveObjectCount()) << "the copy for the main window was left alive";
    }
    g_hMainFrameWnd = savedMainFrame;
    // A request posted to no window lands in this thread's queue.
    MSG stray;
    while (PeekMessageW(&stray, reinterpret_cast<HWND>(-1), kMsgDisplayCert, kMsgDisplayCert, PM_REMOVE)) {
    }
}

TEST_F(PopupTest, DoNotRemindQuestionIsThePopupsAndAnswersForTheLineItNamed)
{
    AbsentKeyPopup absent;
    ASSERT_TRUE(absent.Show());
    const HWND hwnd = absent.popup.m_hWnd;
    const unsigned long asked = absent.LineCert(1), other = absent.LineCert(0);
    absent.OpenMenu(1);
    absent.CloseMenus();
    bool ownedByPopup = false, popupDisabled = false;
    {
        dialogdriver::UiThreadRunner runner;
        dialogdriver::Driver driver([&] {
            HWND box = dialogdriver::WaitForMessageBox(hwnd, 3000);
            ownedByPopup = box != nullptr;
            if (!box) box = dialogdriver::WaitForMessageBox(nullptr);
            popupDisabled = !IsWindowEnabled(hwnd);
            // Another line's menu chosen while the question is open.
            runner.Run(box, [&] { absent.OpenMenu(0); });
            dialogdriver::PressButton(box, IDYES);
        });
        SendMessageW(hwnd, WM_USER + 102, 0, 0);
    }
    absent.CloseMenus();
    EXPECT_TRUE(ownedByPopup);
    EXPECT_TRUE(popupDisabled);
    EXPECT_TRUE(HasForbidNotifyMarker(asked));
    EXPECT_FALSE(HasForbidNotifyMarker(other));
}

TEST_F(PopupTest, HandledCertificatesLeaveTheRememberedListThatRemindLaterCounts)
{
    AbsentKeyPopup absent;
    ASSERT_TRUE(absent.Show());
    absent.OpenMenu(1);  // the certificate within 24 hours
    absent.CloseMenus();
    {
        DialogAnswers yes(IDYES);
        SendMessageW(absent.popup.m_hWnd, WM_USER + 102, 0, 0);
        ASSERT_EQ(1u, yes.Stop().size());
    }
    ASSERT_EQ(1u, absent.records.size());
    EXPECT_EQ(10, absent.records[0]->m_remainDays_);
    // Ten days left: one day's rest (the line within 24 hours would give none).
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    absent.Pm().SendNotify(absent.Pm().FindControl(L"Button_NotifySomeTime"), DUI_MSGTYPE_CLICK);
    GetLocalTime(&after);
    const std::wstring next = UserSettings::Instance().GetNextNotifyDate();
    EXPECT_LE(FormatPostponedNotifyDate(before, 1), next);
    EXPECT_GE(FormatPostponedNotifyDate(after, 1), next);

    // Renewal takes every certificate of the list.
    AbsentKeyPopup renewed;
    ASSERT_TRUE(renewed.Show());
    renewed.Pm().SendNotify(renewed.Pm().FindControl(L"Button_UseKeyReviewCert"), DUI_MSGTYPE_CLICK);
    EXPECT_TRUE(renewed.records.empty());
}

namespace {

// Renders the window's tree at 100 % and 150 % into build/screenshots.
void Snapshot(CUINotifyPopupWnd& popup, const std::wstring& name)
{
    CPaintManagerUI& pm = popup.GetPaintManager();
    for (int dpi : {96, 144}) {
        pm.SetDPI(dpi);
        const SIZE size = pm.GetInitSize();
        const std::wstring png = testsupport::ScreenshotPath(name + (dpi == 96 ? L"" : L"-150") + L".png");
        EXPECT_TRUE(pm.SaveSnapshot(png, size.cx, size.cy)) << testsupport::ToUtf8(png);
    }
    pm.SetDPI(96);
    productui::ExpectReadableAtBothScales(popup.m_hWnd, pm);
}

}  // namespace

TEST_F(PopupTest, ScreenshotsOfEveryPopupInChineseAndEnglish)
{
    CachedDeviceRecordList records;
    for (const wchar_t* name : {L"sign_10d", L"enc_10d", L"mixed_45d"}) {
        records.push_back(std::make_unique<CachedDeviceRecord>());
        records.back()->m_signCert_ = FileBytes(name);
        records.back()->m_remainDays_ = name[0] == L'm' ? 45 : (name[0] == L'e' ? 0 : 10);
    }
    for (int language : {2052, 1033}) {
        LoadLanguageFileFor(language);
        const std::wstring suffix = language == 2052 ? L"-zh" : L"-en";
        {
            CUINotifyDeviceEventWnd device;
            ASSERT_TRUE(device.CreateWnd(nullptr));
            device.GetPaintManager().UpdateLayout();  // "windowinit"
            device.SetDeviceEventMode(0);
            Snapshot(device, L"popup-device-inserted" + suffix);
            device.SetDeviceEventMode(1);
            Snapshot(device, L"popup-device-removed" + suffix);
        }
        {
            CUINotifyCertEventWnd cert;
            ASSERT_TRUE(cert.CreateWnd(nullptr));
            cert.GetPaintManager().UpdateLayout();
            cert.ShowCertificateList(10);
            // As a host with the renewal plug-in installed shows it.
            cert.GetPaintManager().FindControl(L"Button_ShowReviewCert")->SetVisible(true);
            Snapshot(cert, L"popup-cert" + suffix);
        }
        {
            CUINotifyNoDeviceCertEventWnd absent;
            absent.SetNoDeviceNotifyList(&records);
            ASSERT_TRUE(absent.CreateWnd(nullptr));
            absent.GetPaintManager().UpdateLayout();
            absent.GetPaintManager().FindControl(L"Button_UseKeyReviewCert")->SetVisible(true);
            Snapshot(absent, L"popup-nodevice" + suffix);
        }
    }
    LoadLanguageFileFor(2052);
}

TEST_F(PopupTest, ButtonsAskTheHostThroughTheMailboxAndHideEvenWithoutHostObjects)
{
    // The host's side of the mailbox; no host object is there to broadcast.
    ScopedHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                            L"{B0EC4E51-7782-4901-866E-C043C98A3CBA}"));
    ASSERT_TRUE(mapping);
    ScopedMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 4096));
    ASSERT_TRUE(view);
    auto mailbox = [&] { return std::wstring(static_cast<const wchar_t*>(view.get())); };

    CUINotifyDeviceEventWnd device;
    ASSERT_TRUE(device.CreateWnd(nullptr));
    device.GetPaintManager().UpdateLayout();
    device.SetDeviceEventMode(0);
    SendMessageW(device.m_hWnd, WM_USER + 101, 0, 0);
    device.GetPaintManager().SendNotify(device.GetPaintManager().FindControl(L"Button_ShowCert"),
                                        DUI_MSGTYPE_CLICK);
    EXPECT_EQ(L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972|/ShowWindow=show", mailbox());
    EXPECT_FALSE(IsWindowVisible(device.m_hWnd));
    EXPECT_EQ(L"查看", device.GetPaintManager().FindControl(L"Button_ShowCert")->GetText());

    CUINotifyCertEventWnd cert;
    ASSERT_TRUE(cert.CreateWnd(nullptr));
    cert.GetPaintManager().UpdateLayout();
    SendMessageW(cert.m_hWnd, WM_USER + 101, 0, 0);
    cert.GetPaintManager().SendNotify(cert.GetPaintManager().FindControl(L"Button_ShowReviewCert"),
                                      DUI_MSGTYPE_CLICK);
    EXPECT_EQ(L"DAECF30F-E1F7-4b78-829A-1B778A83530A|/ShowWindow=show", mailbox());
    EXPECT_FALSE(IsWindowVisible(cert.m_hWnd));
}
