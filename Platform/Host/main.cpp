// TamuHost.exe: parses the command line, starts the host, loads the plug-in
// and runs the message loop until the window closes or the timeout passes.
#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "HostCommandLine.h"
#include "HostTokenStore.h"
#include "Screenshot.h"
#include "TamuHost.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    tamu::CommandLine options = tamu::ParseCommandLine(argc, argv);
    LocalFree(argv);

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

    if (options.timeoutSeconds) SetTimer(nullptr, 0, options.timeoutSeconds * 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
            if (!options.screenshotFolder.empty()) {
                const int n = tamu::CaptureProcessWindows(options.screenshotFolder, L"window-");
                host.Log(L"wrote " + std::to_wstring(n) + L" screenshot(s) to " + options.screenshotFolder);
            }
            host.Log(L"timeout reached, closing");
            if (host.MainWindow()) DestroyWindow(host.MainWindow());
            else PostQuitMessage(0);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    host.UnloadPlugin();
    store.reset();
    host.Log(L"closed");
    OleUninitialize();
    return 0;
}
