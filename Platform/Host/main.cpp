// TamuHost.exe: parses the command line, starts the host, loads the plug-in
// and runs the message loop until the window closes or the timeout passes.
#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "HostCommandLine.h"
#include "HostSmoke.h"
#include "HostTokenStore.h"
#include "TamuHost.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    tamu::CommandLine options = tamu::ParseCommandLine(argc, argv);
    LocalFree(argv);

    options.host.quitOnClose = true;
    tamu::Host host(options.host);
    if (!options.ok) {
        host.Log(L"error: " + options.error);
        return 2;
    }
    OleInitialize(nullptr);
    if (!host.Start()) {
        host.Log(L"error: cannot create the command mailbox or the main window");
        return 1;
    }
    if (!options.smokeToken.empty() && options.storePath.empty()) {
        host.Log(L"error: --smoke needs --store (the tokens the main window shows)");
        return 2;
    }
    std::unique_ptr<tamu::TokenStoreDevices> store;
    if (!options.storePath.empty()) {
        if (GetFileAttributesW(options.storePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
            host.Log(L"error: the token store folder " + options.storePath + L" does not exist");
            return 2;
        }
        store = std::make_unique<tamu::TokenStoreDevices>(host, options.storePath);
        host.Log(L"token store " + options.storePath + L": " + std::to_wstring(store->Count()) + L" token(s)");
    }
    ShowWindow(host.MainWindow(), show);
    UpdateWindow(host.MainWindow());
    if (!host.LoadPlugin()) return 1;
    // Keys already in when the host starts are announced as a change, as a
    // real host does once it has enumerated them.
    if (store && store->Count() > 0) host.NotifyDeviceSetChanged();

    std::unique_ptr<tamu::SmokeRun> smoke;
    if (!options.smokeToken.empty()) {
        smoke = std::make_unique<tamu::SmokeRun>(host, *store, options.smokeToken, options.screenshotFolder);
        smoke->Start();
    }

    if (options.timeoutSeconds) host.CloseAfter(options.timeoutSeconds, options.screenshotFolder);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    host.UnloadPlugin();
    const bool smokePassed = !smoke || smoke->Finish();
    smoke.reset();
    store.reset();
    host.Log(L"closed");
    OleUninitialize();
    return smokePassed ? 0 : 3;
}
