// TamuHost.exe: parses the command line, starts the host, loads the plug-in
// and runs the message loop until the window closes or the timeout passes.
#include <windows.h>
#include <shellapi.h>

#include "HostCommandLine.h"
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
    host.Log(L"closed");
    OleUninitialize();
    return 0;
}
