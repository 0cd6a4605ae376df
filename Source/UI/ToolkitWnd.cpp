// The toolkit-window base; see ToolkitWnd.h.
#include "UI/ToolkitWnd.h"

#include "DuiLib/BoundaryGuard.h"
#include "Utils/LanguageStrings.h"

using namespace DuiLib;

LRESULT CToolkitWnd::OnCreate()
{
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    m_pm_.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), nullptr, nullptr, &m_pm_);
    // Without its skin the window has nothing to show: creation fails.
    if (!root) return -1;
    m_pm_.AttachDialog(root);
    m_pm_.AddNotifier(this);
    OnSkinBuilt();
    m_created_ = true;
    return 0;
}

void CToolkitWnd::SetControlText(const wchar_t* name, const char* languageKey)
{
    if (CControlUI* control = m_pm_.FindControl(name)) control->SetText(GetLanguageString(languageKey));
}

bool CToolkitWnd::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

LRESULT CToolkitWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // A creation that throws fails the creation; anything else answers 0.
    LRESULT failure = uMsg == WM_CREATE ? -1 : 0;
    return GuardBoundary("CToolkitWnd::HandleMessage", failure, [&]() -> LRESULT {
        switch (uMsg) {
            case WM_CREATE:
                return OnCreate();
            case WM_NCCALCSIZE:
                // The whole window is client area: the skin draws the frame.
                return 0;
            case WM_NCPAINT:
                return 0;
            default:
                break;
        }
        LRESULT result = 0;
        if (OnWindowMessage(uMsg, wParam, lParam, result)) return result;
        if (m_pm_.MessageHandler(uMsg, wParam, lParam, result)) return result;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    });
}
