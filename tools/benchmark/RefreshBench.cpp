// How long a device event takes in the main window, split into the device
// load (the PKI stand-in reading every token) and the view build
// (RefreshDeviceViews up to the painted window), for token stores of
// 1 x 1, 1 x 8, 2 x 4, 8 x 8 and 16 x 8 tokens x certificates; the first
// showing of a key page that the event did not build (a page of 8
// certificates, chosen in the key list); the time from
// OnInitPlugins to the first painted frame; the window thread's time per
// device event under very fast churn (a token out and back in every 50 ms);
// the device event again with a screen reader connected from a second
// process; and private bytes after 1 and after 1000 refreshes. Prints one
// table (median and minimum of the runs).
//   LumoraRefreshBench.exe [FIXTURES_FOLDER] [RUNS]
// Without a folder: the fixtures of the build tree the program lies in.
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Cert/DeviceRecord.h"
#include "HostTokenStore.h"
#include "Plugin/HostInterfaces.h"
#include "Plugin/PluginEntry.h"
#include "ReaderClient.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "UI/UIMainFrame.h"

namespace {

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    if (counters.PrivateUsage) return counters.PrivateUsage;
    // Wine leaves PrivateUsage at 0: add up the committed private regions.
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION mbi;
    for (const char* p = nullptr; VirtualQuery(p, &mbi, sizeof(mbi)) == sizeof(mbi);
         p = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += mbi.RegionSize;
        if (static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize < p) break;
    }
    return total;
}

struct Stat {
    double median = 0;
    double minimum = 0;
};

Stat Summarise(std::vector<double> samples)
{
    Stat s;
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    s.minimum = samples.front();
    s.median = samples[samples.size() / 2];
    return s;
}

// A store of `tokens` tokens holding `certs` certificates each, as signing and
// encryption pairs of the fixture certificates.
bool MakeStore(const std::wstring& folder, const std::wstring& fixtures, int tokens, int certs)
{
    std::string sign;
    std::string enc;
    if (!testsupport::ReadFileBytes(fixtures + L"\\certs\\sign_1y.cer", sign) ||
        !testsupport::ReadFileBytes(fixtures + L"\\certs\\enc_1y.cer", enc))
        return false;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int t = 0; t < tokens; ++t) {
        wchar_t name[32];
        swprintf(name, 32, L"bench%02d", t);
        const std::wstring token = folder + L"\\" + name;
        CreateDirectoryW(token.c_str(), nullptr);
        char ini[160];
        snprintf(ini, sizeof ini,
                 "[Token]\r\nType=1\r\nSerial=BENCH%04d\r\nLabel=Bench "
                 "%d\r\nPin=123456\r\nRetries=6\r\nMaxRetries=6\r\n",
                 t, t);
        if (!testsupport::WriteFileBytes(token + L"\\token.ini", ini)) return false;
        for (int c = 0; c < certs; ++c) {
            const std::wstring pair = token + L"\\kp" + std::to_wstring(c / 2);
            CreateDirectoryW(pair.c_str(), nullptr);
            if (!testsupport::WriteFileBytes(pair + L"\\" + std::to_wstring(c % 2 + 1) + L".cer",
                                             c % 2 ? enc : sign))
                return false;
        }
    }
    return true;
}

struct Row {
    int tokens;
    int certs;
    Stat load;
    Stat view;
    Stat total;
    Stat firstShow;  // stores of more than one token
};

const Row* FindRow(const std::vector<Row>& rows, int tokens, int certs)
{
    for (const Row& r : rows)
        if (r.tokens == tokens && r.certs == certs) return &r;
    return nullptr;
}

// Reads every device of the host into DeviceRecordList, as a device event does.
void LoadDevices(IPluginHost* host)
{
    IPluginObject* service = nullptr;
    host->QueryPluginObject(HostGuids::DeviceService, &service);
    IHostDeviceList* list = service ? static_cast<IDeviceService*>(service)->GetDeviceList() : nullptr;
    if (!list) return;
    for (long i = 0; i < list->GetDeviceCount(); ++i) {
        if (unsigned long device = list->GetDevice(i)) DeviceRecordList::Instance().AddDevice(device);
    }
    list->Release();
}

struct Churn {
    Stat perEvent;
    int changes = 0;  // made in the store
    int events = 0;   // device events the main window handled
    double busyShare = 0;
};

// Very fast churn as a user's hands or a loose contact make it: one token
// out and back in every 50 ms, through the store, so each change reaches the
// main window the way it does in the host (the store's watch, message 1834).
// The window thread's time in each of those messages is the per-event cost.
Churn MeasureChurn(tamu::Host& host, const std::wstring& fixtures, int changes)
{
    Churn churn;
    testsupport::TempDir store(L"churn");
    testsupport::TempDir spare(L"spare");
    if (!MakeStore(store.Path(), fixtures, 7, 8) || !MakeStore(spare.Path(), fixtures, 8, 8)) return churn;
    tamu::TokenStoreDevices devices(host, store.Path());
    PluginEntry::OnInitPlugins(&host);
    std::vector<double> costs;
    double lastEvent = NowMs();
    auto pumpUntil = [&](double until) {
        MSG msg;
        for (double now = NowMs(); now < until; now = NowMs()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now) + 1, QS_ALLINPUT);
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                const double t0 = NowMs();
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                if (msg.message == kHostMsgDeviceChanged) {
                    lastEvent = NowMs();
                    costs.push_back(lastEvent - t0);
                }
            }
        }
    };
    const std::wstring token = spare.Path() + L"\\bench07";
    const double start = NowMs();
    for (int i = 0; i < changes; ++i) {
        if (i % 2 == 0 ? devices.InsertToken(token) : devices.RemoveToken(L"BENCH0007")) ++churn.changes;
        pumpUntil(start + 50.0 * (i + 1));
    }
    // The last changes still come in: over when a second passes without one.
    while (NowMs() - lastEvent < 1000) pumpUntil(NowMs() + 100);
    double busy = 0;
    for (double c : costs) busy += c;
    churn.busyShare = busy / (lastEvent - start);
    churn.events = static_cast<int>(costs.size());
    churn.perEvent = Summarise(costs);
    PluginEntry::OnReleasePlugins();
    testsupport::PumpMessages();
    return churn;
}

struct WithReader {
    Stat total;
    double heardPerEvent = 0;
};

// The whole device event of one store while a screen reader in another
// process is connected to the main window (it asked for the window's
// object when the keyboard moved into it) and hears every event raised.
// Its questions are answered while this thread pumps between the events,
// outside the measured time; what it heard per event is counted.
WithReader MeasureWithReader(tamu::Host& host, const std::wstring& fixtures, int tokens, int certs, int runs)
{
    WithReader result;
    testsupport::TempDir store(L"reader");
    if (!MakeStore(store.Path(), fixtures, tokens, certs)) return result;
    tamu::TokenStoreDevices devices(host, store.Path());
    PluginEntry::OnInitPlugins(&host);
    auto* frame = static_cast<CUIMainFrame*>(CWnd::FromHandlePermanent(g_hMainFrameWnd));
    {
        reader::ReaderClient reader;
        if (frame && reader.ok()) {
            frame->SendMessage(kHostMsgDeviceChanged, 0, 0);
            SetFocus(g_hMainFrameWnd);
            SendMessageW(g_hMainFrameWnd, WM_KEYDOWN, VK_TAB, 1);
            SendMessageW(g_hMainFrameWnd, WM_KEYUP, VK_TAB, 0xC0000001);
            reader.WaitQuiet(500);
            reader.Mark();
            std::vector<double> total;
            for (int run = 0; run < runs; ++run) {
                const double t0 = NowMs();
                frame->SendMessage(kHostMsgDeviceChanged, 0, 0);
                RedrawWindow(g_hMainFrameWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                total.push_back(NowMs() - t0);
                reader.WaitQuiet(200);
            }
            result.total = Summarise(total);
            result.heardPerEvent = static_cast<double>(reader.SinceMark().size()) / runs;
        }
    }
    PluginEntry::OnReleasePlugins();
    testsupport::PumpMessages();
    return result;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring fixtures = argc > 1 ? argv[1] : testsupport::FixturesDir();
    if (fixtures.empty()) fixtures = tamu::BesideProgram(L"..\\fixtures");
    const int runs = argc > 2 ? std::max(3, _wtoi(argv[2])) : 15;
    LocalFree(argv);
    testsupport::SettingsSandbox sandbox;
    if (!sandbox.ok()) {
        fprintf(stderr, "cannot redirect the settings folders\n");
        return 1;
    }
    // Only the refresh is measured: no pop-ups, no show-self command, no worker.
    // (Written through the sandbox, which makes the folder the file lives in.)
    if (!sandbox.WriteUserIni("[UserSetting]\r\nIsShowSelfWhileInsertUSBKey=false\r\n"
                              "[NotifyWndSetting]\r\nIsShowNotifyNoDeviceCertExpireWnd=false\r\n"
                              "IsShowNotifyDeviceWnd=false\r\nIsShowNotifyCertWnd=false\r\n")) {
        fprintf(stderr, "cannot write the benchmark's settings\n");
        return 1;
    }

    tamu::HostOptions options;
    options.languageId = 2052;
    tamu::Host host(options);
    if (!host.Start()) return 1;
    ShowWindow(host.MainWindow(), SW_SHOW);

    const int sizes[][2] = {{1, 1}, {1, 8}, {2, 4}, {8, 8}, {16, 8}};
    std::vector<Row> rows;
    std::vector<double> startSamples;
    SIZE_T afterOne = 0;
    SIZE_T afterThousand = 0;
    for (const auto& size : sizes) {
        testsupport::TempDir store(L"bench");
        if (!MakeStore(store.Path(), fixtures, size[0], size[1])) {
            // Made by tests/fixtures/make-fixtures.sh (tools/benchmark/run.sh does it).
            fprintf(stderr, "cannot make the token store from %ls\n", fixtures.c_str());
            return 1;
        }
        tamu::TokenStoreDevices devices(host, store.Path());
        const double beforeInit = NowMs();
        PluginEntry::OnInitPlugins(&host);
        HWND frameWindow = g_hMainFrameWnd;
        auto* frame = static_cast<CUIMainFrame*>(CWnd::FromHandlePermanent(frameWindow));
        if (!frame) return 1;
        RedrawWindow(frameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        startSamples.push_back(NowMs() - beforeInit);

        std::vector<double> load;
        std::vector<double> view;
        std::vector<double> total;
        std::vector<double> firstShow;
        for (int run = 0; run < runs; ++run) {
            double t0 = NowMs();
            frame->SendMessage(kHostMsgDeviceChanged, 0, 0);
            RedrawWindow(frameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            total.push_back(NowMs() - t0);
            testsupport::PumpMessages();

            frame->ClearDeviceViews();
            testsupport::PumpMessages();
            t0 = NowMs();
            LoadDevices(&host);
            const double t1 = NowMs();
            frame->RefreshDeviceViews();
            RedrawWindow(frameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            const double t2 = NowMs();
            load.push_back(t1 - t0);
            view.push_back(t2 - t1);
            testsupport::PumpMessages();
            if (size[0] > 1) {
                // The user chooses the second key: its page is built now.
                const double t3 = NowMs();
                frame->ShowDevicePage(1);
                RedrawWindow(frameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                firstShow.push_back(NowMs() - t3);
                frame->ShowDevicePage(0);
                testsupport::PumpMessages();
            }
            if (run == 0 && size[0] == 2) afterOne = PrivateBytes();
        }
        rows.push_back({size[0], size[1], Summarise(load), Summarise(view), Summarise(total), Summarise(firstShow)});

        if (size[0] == 2) {
            // Each run above was two refreshes; make it 1000 in all.
            for (int i = 2 * runs; i < 1000; ++i) {
                frame->SendMessage(kHostMsgDeviceChanged, 0, 0);
                testsupport::PumpMessages();
            }
            afterThousand = PrivateBytes();
        }
        PluginEntry::OnReleasePlugins();
        testsupport::PumpMessages();
    }

    const Churn churn = MeasureChurn(host, fixtures, 40);
    const WithReader withReader = MeasureWithReader(host, fixtures, 8, 8, runs);

    const Stat start = Summarise(startSamples);
    printf("Refresh benchmark (%d runs per store; milliseconds, median / minimum)\n", runs);
    printf("| tokens x certs | device load | view build | whole device event |\n");
    printf("|---|---|---|---|\n");
    for (const Row& r : rows) {
        printf("| %d x %d | %.2f / %.2f | %.2f / %.2f | %.2f / %.2f |\n", r.tokens, r.certs, r.load.median,
               r.load.minimum, r.view.median, r.view.minimum, r.total.median, r.total.minimum);
    }
    for (const Row& r : rows) {
        if (r.tokens > 1)
            printf("| first showing of another key's page (%d x %d) | | %.2f / %.2f | |\n", r.tokens, r.certs,
                   r.firstShow.median, r.firstShow.minimum);
    }
    printf("| OnInitPlugins to painted | | | %.2f / %.2f |\n", start.median, start.minimum);
    printf("| churn, a token in or out every 50 ms (7-8 x 8), per device event | | | %.2f / %.2f |\n",
           churn.perEvent.median, churn.perEvent.minimum);
    printf("churn: %d changes made, %d device events handled, window thread busy %.0f %% of the time\n",
           churn.changes, churn.events, 100.0 * churn.busyShare);
    printf("| 8 x 8 with a screen reader connected | | | %.2f / %.2f |\n", withReader.total.median,
           withReader.total.minimum);
    auto ratio = [&](const Stat Row::*stat, int t1, int c1, int t2, int c2) {
        const Row* a = FindRow(rows, t1, c1);
        const Row* b = FindRow(rows, t2, c2);
        return a && b && (b->*stat).median > 0 ? (a->*stat).median / (b->*stat).median : 0.0;
    };
    const Row* eight = FindRow(rows, 8, 8);
    printf("screen reader: %.1f events heard per device event; whole device event 8 x 8 with / without: %.2f\n",
           withReader.heardPerEvent, eight && eight->total.median > 0 ? withReader.total.median / eight->total.median : 0);
    printf("view build 8 x 8 / 2 x 4: %.2f (certificates: 64 / 8 = 8)\n", ratio(&Row::view, 8, 8, 2, 4));
    printf("view build 16 x 8 / 1 x 8: %.2f\n", ratio(&Row::view, 16, 8, 1, 8));
    printf("whole device event 16 x 8 / 1 x 1: %.2f\n", ratio(&Row::total, 16, 8, 1, 1));
    printf("private bytes (2 x 4): after 1 refresh %lu KB, after 1000 refreshes %lu KB\n",
           static_cast<unsigned long>(afterOne / 1024), static_cast<unsigned long>(afterThousand / 1024));
    return 0;
}
