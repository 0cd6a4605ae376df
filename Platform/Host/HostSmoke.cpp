// The scripted pass of TamuHost.exe --smoke (see HostSmoke.h).
#include "HostSmoke.h"

#include <algorithm>
#include <utility>

#include "Screenshot.h"
#include "ZentoPKIHost.h"

namespace tamu {

namespace {

constexpr UINT kTickMs = 100;
// Generous: the same pass runs under an emulated CPU, where starting and
// painting the plug-in takes many times longer; natively the script's
// shorter limit on the whole run comes first.
constexpr DWORD kStepLimitMs = 900000;

SmokeRun* g_running = nullptr;  // a thread timer carries no pointer of its own

struct SettingsDialogSearch {
    HWND owner;
    HWND found;
};

// The settings dialog: the plug-in's pop-ups have the same owner, but no caption.
BOOL CALLBACK FindSettingsDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<SettingsDialogSearch*>(param);
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window)) return TRUE;
    if ((GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) return TRUE;
    search->found = window;
    return FALSE;
}

std::wstring ModulePath(HMODULE module)
{
    wchar_t path[MAX_PATH * 2] = {};
    return module && GetModuleFileNameW(module, path, MAX_PATH * 2) ? path : L"";
}

}  // namespace

unsigned long SmokeRun::WatchedDevices::OpenDevice(long index)
{
    if (index >= 0) {
        if (m_asked_.size() <= static_cast<size_t>(index)) m_asked_.resize(static_cast<size_t>(index) + 1);
        m_asked_[static_cast<size_t>(index)] = true;
    }
    return m_inner_.OpenDevice(index);
}

bool SmokeRun::WatchedDevices::AllAskedFor(long count) const
{
    if (count < 0 || m_asked_.size() < static_cast<size_t>(count)) return false;
    return std::all_of(m_asked_.begin(), m_asked_.begin() + count, [](bool asked) { return asked; });
}

SmokeRun::SmokeRun(Host& host, TokenStoreDevices& store, std::wstring spareToken,
                   std::wstring screenshotFolder)
    : m_host_(host),
      m_store_(store),
      m_watched_(store),
      m_spareToken_(std::move(spareToken)),
      m_screenshotFolder_(std::move(screenshotFolder))
{
    if (m_screenshotFolder_.empty()) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_screenshotFolder_ = temp;
    }
    while (!m_screenshotFolder_.empty() && m_screenshotFolder_.back() == L'\\')
        m_screenshotFolder_.pop_back();
    m_host_.SetDeviceProvider(&m_watched_);
}

SmokeRun::~SmokeRun()
{
    if (m_timer_) KillTimer(nullptr, m_timer_);
    if (g_running == this) g_running = nullptr;
    if (m_host_.Devices() == &m_watched_) m_host_.SetDeviceProvider(&m_store_);
}

void SmokeRun::Start()
{
    g_running = this;
    m_pluginPath_ = ModulePath(m_host_.PluginLibrary());
    m_baseCount_ = m_store_.Count();
    m_host_.Log(L"smoke: " + std::to_wstring(m_baseCount_) + L" token(s) in the store");
    // The host announced the tokens already in before this object existed:
    // ask again, so the plug-in's reading of them is seen here.
    m_watched_.Mark();
    m_host_.NotifyDeviceSetChanged();
    m_stepStart_ = GetTickCount();
    m_timer_ = SetTimer(nullptr, 0, kTickMs, OnTick);
    if (!m_timer_) Fail(L"no timer (error " + std::to_wstring(GetLastError()) + L")");
}

void CALLBACK SmokeRun::OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_running) g_running->Tick();
}

void SmokeRun::Enter(Step step)
{
    m_step_ = step;
    m_stepStart_ = GetTickCount();
}

void SmokeRun::Fail(const std::wstring& why)
{
    m_host_.Log(L"smoke: FAILED: " + why);
    m_step_ = Step::Failed;
    if (m_timer_) KillTimer(nullptr, m_timer_);
    m_timer_ = 0;
    // Inside the settings dialog the host closes once the dialog is gone
    // (its page must be released before the plug-in goes).
    if (m_inSettings_) {
        CloseSettingsDialog();
    } else if (HWND main = m_host_.MainWindow()) {
        DestroyWindow(main);
    }
}

bool SmokeRun::DeviceSetTakenIn(long expected) const
{
    return m_store_.Count() == expected && m_watched_.AllAskedFor(expected) && m_host_.LiveDeviceLists() == 0;
}

void SmokeRun::CloseSettingsDialog()
{
    SettingsDialogSearch search = {m_host_.MainWindow(), nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindSettingsDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
}

void SmokeRun::Tick()
{
    if (m_step_ == Step::Done || m_step_ == Step::Failed) return;
    if (GetTickCount() - m_stepStart_ > kStepLimitMs) {
        Fail(L"step " + std::to_wstring(static_cast<int>(m_step_)) + L" did not finish within " +
             std::to_wstring(kStepLimitMs / 1000) + L" s");
        return;
    }
    switch (m_step_) {
    case Step::ShowTokens: {
        IPluginView* view = m_host_.AttachedView();
        HWND viewWindow = view ? view->GetWindow() : nullptr;
        if (!viewWindow || !IsWindowVisible(viewWindow) || !DeviceSetTakenIn(m_baseCount_)) return;
        RedrawWindow(m_host_.MainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        const std::wstring picture = m_screenshotFolder_ + L"\\smoke-main-window.png";
        CreateDirectoryW(m_screenshotFolder_.c_str(), nullptr);
        if (!CaptureWindowToPng(viewWindow, picture)) return Fail(L"cannot write " + picture);
        m_host_.Log(L"smoke: main window shows the " + std::to_wstring(m_baseCount_) + L" token(s): " + picture);
        const std::vector<std::wstring> before = m_store_.Serials();
        m_watched_.Mark();
        if (!m_store_.InsertToken(m_spareToken_)) return Fail(L"cannot insert the token " + m_spareToken_);
        for (const std::wstring& serial : m_store_.Serials()) {
            if (std::find(before.begin(), before.end(), serial) == before.end()) m_spareSerial_ = serial;
        }
        m_host_.Log(L"smoke: inserted token " + m_spareSerial_);
        return Enter(Step::Insert);
    }
    case Step::Insert:
        if (!DeviceSetTakenIn(m_baseCount_ + 1)) return;
        m_host_.Log(L"smoke: the plug-in took in the insertion (" + std::to_wstring(m_baseCount_ + 1) +
                    L" tokens)");
        m_watched_.Mark();
        if (m_spareSerial_.empty() || !m_store_.RemoveToken(m_spareSerial_))
            return Fail(L"cannot remove the token " + m_spareSerial_);
        m_host_.Log(L"smoke: removed token " + m_spareSerial_);
        return Enter(Step::Remove);
    case Step::Remove: {
        if (!DeviceSetTakenIn(m_baseCount_)) return;
        m_host_.Log(L"smoke: the plug-in took in the removal (" + std::to_wstring(m_baseCount_) + L" tokens)");
        Enter(Step::Settings);
        // The host's dialog runs its own loop; this timer goes on ticking in
        // it and closes the dialog once the page shows.
        m_inSettings_ = true;
        const bool shown = m_host_.ShowSettingsDialog(m_host_.MainWindow());
        m_inSettings_ = false;
        if (m_step_ == Step::Failed) {
            if (HWND main = m_host_.MainWindow()) DestroyWindow(main);
            return;
        }
        if (!shown) return Fail(L"the host could not show the settings page");
        m_host_.Log(L"smoke: settings page created and released");
        Enter(Step::Close);
        return;
    }
    case Step::Settings: {
        if (!m_inSettings_) return;
        SettingsDialogSearch search = {m_host_.MainWindow(), nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindSettingsDialog, reinterpret_cast<LPARAM>(&search));
        HWND page = search.found ? GetWindow(search.found, GW_CHILD) : nullptr;
        if (!page || !IsWindowVisible(page)) return;
        UpdateWindow(search.found);
        CaptureWindowToPng(search.found, m_screenshotFolder_ + L"\\smoke-settings.png");
        m_host_.Log(L"smoke: settings page shown, closing the dialog");
        PostMessageW(search.found, WM_CLOSE, 0, 0);
        m_inSettings_ = false;  // one close is enough
        return;
    }
    case Step::Close:
        m_host_.Log(L"smoke: closing the host");
        m_step_ = Step::Done;
        KillTimer(nullptr, m_timer_);
        m_timer_ = 0;
        if (HWND main = m_host_.MainWindow()) DestroyWindow(main);
        return;
    default:
        return;
    }
}

bool SmokeRun::Finish()
{
    if (m_step_ != Step::Done) {
        if (m_step_ != Step::Failed) m_host_.Log(L"smoke: FAILED: the host closed before the last step");
        return false;
    }
    // Asked of the system, not of the host's book-keeping: a reference the
    // plug-in kept on itself would leave it mapped.
    if (m_pluginPath_.empty() || GetModuleHandleW(m_pluginPath_.c_str())) {
        m_host_.Log(L"smoke: FAILED: the plug-in is still loaded: " + m_pluginPath_);
        return false;
    }
    const long live = ZentoPKIGetLiveObjectCount();
    if (live != 0) {
        m_host_.Log(L"smoke: FAILED: " + std::to_wstring(live) + L" object(s) of the PKI library left");
        return false;
    }
    m_host_.Log(L"smoke: plug-in unloaded, no object of the PKI library left; passed");
    return true;
}

}  // namespace tamu
