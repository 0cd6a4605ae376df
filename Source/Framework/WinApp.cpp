// The framework's application object; see WinApp.h.
#include "Framework/WinApp.h"

#include "Framework/Wnd.h"

namespace {
CWinApp*& CurrentApp()
{
    static CWinApp* app = nullptr;
    return app;
}
}  // namespace

CWinApp::CWinApp(const wchar_t* appName) : m_pszAppName(appName) { CurrentApp() = this; }

CWinApp::~CWinApp()
{
    if (CurrentApp() == this) CurrentApp() = nullptr;
}

CWinApp* CWinApp::GetApp() { return CurrentApp(); }

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return m_exitCode_; }

BOOL CWinApp::PreTranslateMessage(MSG* msg) { return CWnd::WalkPreTranslateTree(msg); }

BOOL CWinApp::PumpMessage()
{
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
        m_exitCode_ = static_cast<int>(msg.wParam);
        return FALSE;
    }
    if (got == -1) return FALSE;
    // WM_NULL: the framework's message hook already consumed it.
    if (msg.message != WM_NULL && !PreTranslateMessage(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return TRUE;
}

int CWinApp::Run()
{
    while (PumpMessage()) {
    }
    return ExitInstance();
}

BOOL CWinApp::InitModule(HINSTANCE instance)
{
    m_hInstance = instance;
    Framework::SetInstanceHandle(instance);
    return InitInstance();
}
