// The application object of our small framework: one per module, reachable
// from anywhere, with the initialisation and exit hooks a module overrides
// and the message pump that pre-translates queued messages for its windows.
#pragma once

#include <windows.h>

class CWinApp {
public:
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The module's application object (the last one constructed), or null.
    static CWinApp* GetApp();

    // Called once the module is loaded; false stops the module.
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // Framework windows see the message first; true when one consumed it.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // One message through pre-translation and dispatch; false on WM_QUIT.
    BOOL PumpMessage();
    // Message loop until WM_QUIT; returns its exit code.
    int Run();

    // Records the module and runs InitInstance (the module's loader calls it).
    BOOL InitModule(HINSTANCE instance);

    HINSTANCE m_hInstance = nullptr;
    const wchar_t* m_pszAppName = nullptr;

private:
    int m_exitCode_ = 0;
};
