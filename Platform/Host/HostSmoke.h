// The scripted pass of TamuHost.exe --smoke: what a real host does with the
// plug-in once (show it with the inserted tokens, one insertion and one
// removal, the settings page, release and unload), each step waited for with
// a deadline and logged, so a script can tell a binary that works from one
// that merely starts. tools/smoke32.sh runs it on the shipped 32-bit build.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "HostTokenStore.h"
#include "TamuHost.h"

namespace tamu {

class SmokeRun {
public:
    // spareToken: a token folder outside the store, inserted and removed
    // again; screenshotFolder: where the main window's picture goes (empty:
    // the system's temporary folder).
    SmokeRun(Host& host, TokenStoreDevices& store, std::wstring spareToken, std::wstring screenshotFolder);
    ~SmokeRun();
    SmokeRun(const SmokeRun&) = delete;
    SmokeRun& operator=(const SmokeRun&) = delete;

    // Starts the steps on a thread timer of the calling thread, so they go on
    // inside any modal loop of the host or the plug-in.
    void Start();
    // After the message loop has ended: every step passed, the plug-in is
    // gone from the process and no object of the PKI library is left.
    bool Finish();

private:
    // Counts which devices the plug-in asked for, to see that it has taken
    // in a change of the device set.
    class WatchedDevices final : public DeviceProvider {
    public:
        explicit WatchedDevices(DeviceProvider& inner) : m_inner_(inner) {}
        long Count() override { return m_inner_.Count(); }
        unsigned long OpenDevice(long index) override;
        bool RemoveToken(const std::wstring& serial) override { return m_inner_.RemoveToken(serial); }
        bool InsertToken(const std::wstring& folder) override { return m_inner_.InsertToken(folder); }
        std::vector<std::wstring> Serials() override { return m_inner_.Serials(); }
        void Mark() { m_asked_.clear(); }
        // True once every one of `count` devices was asked for since Mark.
        bool AllAskedFor(long count) const;

    private:
        DeviceProvider& m_inner_;
        std::vector<bool> m_asked_;
    };

    enum class Step { ShowTokens, Insert, Remove, Settings, Close, Done, Failed };

    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
    void Tick();
    void Enter(Step step);
    void Fail(const std::wstring& why);
    bool DeviceSetTakenIn(long expected) const;
    void CloseSettingsDialog();

    Host& m_host_;
    TokenStoreDevices& m_store_;
    WatchedDevices m_watched_;
    std::wstring m_spareToken_;
    std::wstring m_screenshotFolder_;
    std::wstring m_spareSerial_;
    std::wstring m_pluginPath_;
    long m_baseCount_ = 0;
    Step m_step_ = Step::ShowTokens;
    DWORD m_stepStart_ = 0;
    UINT_PTR m_timer_ = 0;
    bool m_inSettings_ = false;
};

}  // namespace tamu
