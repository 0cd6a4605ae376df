// Edit control over a native EDIT window; see UIEdit.h.
#include "DuiLib/UIEdit.h"

#include "DuiLib/BoundaryGuard.h"

#include <algorithm>

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

namespace {
// Marks our native edits so a foreign child window is never mistaken for one.
constexpr wchar_t kEditProp[] = L"DuiLib.CEditUI";
}  // namespace

CEditUI::CEditUI()
{
    m_dwBkColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFFC8C8C8;
    m_nBorderSize = 1;
    m_rcTextPadding = {8, 4, 8, 4};
}

CEditUI::~CEditUI()
{
    DestroyNativeWindow();
}

std::wstring CEditUI::GetClass() const
{
    return L"EditUI";
}

void* CEditUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CLabelUI::GetInterface(name);
}

CEditUI* CEditUI::FromNativeWindow(HWND hwnd)
{
    if (!hwnd || !::IsWindow(hwnd)) return nullptr;
    return static_cast<CEditUI*>(::GetPropW(hwnd, kEditProp));
}

std::wstring CEditUI::GetText() const
{
    if (m_hWndEdit && ::IsWindow(m_hWndEdit)) {
        int n = ::GetWindowTextLengthW(m_hWndEdit);
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        int got = ::GetWindowTextW(m_hWndEdit, &text[0], n + 1);
        text.resize(static_cast<size_t>(std::max(0, got)));
        return text;
    }
    return m_sText;
}

void CEditUI::SetText(const std::wstring& text)
{
    m_sText = text;
    if (m_hWndEdit) {
        m_bSettingText = true;
        ::SetWindowTextW(m_hWndEdit, text.c_str());
        m_bSettingText = false;
        KeepTextCopy();
    }
    Invalidate();
}

void CEditUI::SetPasswordMode(bool password)
{
    m_bPasswordMode = password;
    if (m_hWndEdit) {
        ::SendMessageW(m_hWndEdit, EM_SETPASSWORDCHAR, password ? m_cPasswordChar : 0, 0);
        ::InvalidateRect(m_hWndEdit, nullptr, TRUE);
    }
    Invalidate();
}

void CEditUI::SetPasswordChar(wchar_t c)
{
    if (c == 0) return;
    m_cPasswordChar = c;
    if (m_bPasswordMode) SetPasswordMode(true);
}

void CEditUI::SetReadOnly(bool readOnly)
{
    m_bReadOnly = readOnly;
    if (m_hWndEdit) ::SendMessageW(m_hWndEdit, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void CEditUI::SetMaxChar(int maxChar)
{
    m_iMaxChar = std::max(0, maxChar);
    if (m_hWndEdit) ::SendMessageW(m_hWndEdit, EM_LIMITTEXT, static_cast<WPARAM>(m_iMaxChar), 0);
}

bool CEditUI::EnsureNativeWindow()
{
    if (m_hWndEdit && ::IsWindow(m_hWndEdit)) return true;
    m_hWndEdit = nullptr;
    if (!m_pManager || !m_pManager->GetPaintWindow()) return false;
    DWORD style = WS_CHILD | ES_AUTOHSCROLL | ES_LEFT;
    if (m_bReadOnly) style |= ES_READONLY;
    if (m_bPasswordMode) style |= ES_PASSWORD;
    HINSTANCE instance = CPaintManagerUI::GetInstance();
    m_hWndEdit =
        ::CreateWindowExW(0, L"EDIT", m_sText.c_str(), style, 0, 0, 0, 0, m_pManager->GetPaintWindow(),
                          nullptr, instance ? instance : ::GetModuleHandleW(nullptr), nullptr);
    if (!m_hWndEdit) return false;
    ::SetPropW(m_hWndEdit, kEditProp, this);
    m_pOldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(m_hWndEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CEditUI::NativeProc)));
    ::SendMessageW(m_hWndEdit, WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)), FALSE);
    ::SendMessageW(m_hWndEdit, EM_LIMITTEXT, static_cast<WPARAM>(m_iMaxChar), 0);
    ::SendMessageW(m_hWndEdit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    if (m_bPasswordMode) ::SendMessageW(m_hWndEdit, EM_SETPASSWORDCHAR, m_cPasswordChar, 0);
    if (!IsEnabled()) ::EnableWindow(m_hWndEdit, FALSE);
    KeepTextCopy();
    return true;
}

void CEditUI::DestroyNativeWindow()
{
    if (m_hWndEdit && ::IsWindow(m_hWndEdit)) {
        KeepTextCopy();
        HWND hwnd = m_hWndEdit;
        m_hWndEdit = nullptr;
        ::DestroyWindow(hwnd);
    }
    m_hWndEdit = nullptr;
    m_hBrush.reset();
}

void CEditUI::UpdateNativeWindow()
{
    if (!m_hWndEdit) return;
    RECT rc = GetTextRect();
    int lineHeight = m_pManager ? m_pManager->GetFontHeight(m_iFont) + Scale(2) : RectHeight(rc);
    if (lineHeight < RectHeight(rc)) {
        rc.top += (RectHeight(rc) - lineHeight) / 2;
        rc.bottom = rc.top + lineHeight;
    }
    bool show = IsVisible() && !RectEmpty(rc);
    ::SetWindowPos(m_hWndEdit, nullptr, rc.left, rc.top, std::max(0, RectWidth(rc)),
                   std::max(0, RectHeight(rc)),
                   SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void CEditUI::SetPos(RECT rc)
{
    CLabelUI::SetPos(rc);
    if (EnsureNativeWindow()) UpdateNativeWindow();
}

void CEditUI::SetVisible(bool visible)
{
    CLabelUI::SetVisible(visible);
    UpdateNativeWindow();
}

void CEditUI::SetInternVisible(bool visible)
{
    CLabelUI::SetInternVisible(visible);
    UpdateNativeWindow();
}

void CEditUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (m_hWndEdit) ::EnableWindow(m_hWndEdit, enabled ? TRUE : FALSE);
}

void CEditUI::SetFocusState(bool focused)
{
    CLabelUI::SetFocusState(focused);
    if (focused && EnsureNativeWindow() && ::GetFocus() != m_hWndEdit) {
        ::SetFocus(m_hWndEdit);
        ::SendMessageW(m_hWndEdit, EM_SETSEL, 0, -1);
    }
}

void CEditUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init)
{
    if (manager != m_pManager) DestroyNativeWindow();
    CLabelUI::SetManager(manager, parent, init);
}

HBRUSH CEditUI::GetNativeBrush()
{
    DWORD color = CColorScheme::Pick(UIColorRole::WindowBk,
                                     ArgbAlpha(m_dwBkColor) == 255 ? m_dwBkColor : m_dwNativeBkColor);
    if (m_hBrush && color != m_dwBrushColor) m_hBrush.reset();
    if (!m_hBrush) {
        m_hBrush.reset(::CreateSolidBrush(ArgbToColorRef(color)));
        m_dwBrushColor = color;
    }
    return m_hBrush.get();
}

void CEditUI::KeepTextCopy()
{
    if (!m_bPasswordMode) {
        m_sText = GetText();
        return;
    }
    // A secret lives only in the native window: no second copy in our
    // memory that would outlive it unwiped.
    if (!m_sText.empty()) ::SecureZeroMemory(&m_sText[0], m_sText.size() * sizeof(wchar_t));
    m_sText.clear();
}

void CEditUI::OnNativeTextChanged()
{
    if (m_bSettingText) return;
    KeepTextCopy();
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
}

void CEditUI::DoEvent(TEventUI& event)
{
    switch (event.Type) {
        case UIEVENT_SETCURSOR:
            if (IsEnabled()) {
                ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32513) /* IDC_IBEAM */));
                return;
            }
            break;
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsEnabled()) SetFocus();
            return;
        case UIEVENT_BUTTONUP:
        case UIEVENT_MOUSEMOVE:
            return;
        default:
            break;
    }
    CLabelUI::DoEvent(event);
}

std::wstring CEditUI::GetPaintText() const
{
    if (m_bPasswordMode) {
        // Only the length: the mask needs no copy of the secret.
        size_t length = m_hWndEdit && ::IsWindow(m_hWndEdit)
                            ? static_cast<size_t>(std::max(0, ::GetWindowTextLengthW(m_hWndEdit)))
                            : m_sText.size();
        return std::wstring(length, m_cPasswordChar);
    }
    return GetText();
}

void CEditUI::PaintText(HDC hDC)
{
    std::wstring text = GetPaintText();
    if (text.empty()) return;
    CRenderEngine::DrawText(hDC, m_pManager, GetTextRect(), text, GetPaintTextColor(), m_iFont,
                            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
}

void CEditUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"password")
        SetPasswordMode(ParseBool(value));
    else if (name == L"passwordchar") {
        if (!value.empty()) SetPasswordChar(value[0]);
    } else if (name == L"readonly")
        SetReadOnly(ParseBool(value));
    else if (name == L"maxchar") {
        int v = 0;
        if (ParseInt(value, v)) SetMaxChar(v);
    } else if (name == L"nativebkcolor") {
        DWORD c = 0;
        if (ParseColor(value, c)) m_dwNativeBkColor = c;
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

LRESULT CALLBACK CEditUI::NativeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DuiLib::GuardBoundary("CEditUI::NativeProc", LRESULT(0), [&]() -> LRESULT {
        CEditUI* self = FromNativeWindow(hwnd);
        if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        WNDPROC old = self->m_pOldProc;
        switch (msg) {
            case WM_SETFOCUS:
                if (self->m_pManager) self->m_pManager->SetFocusNeeded(self);
                break;
            case WM_KEYDOWN:
                if ((wParam == VK_TAB || wParam == VK_RETURN || wParam == VK_ESCAPE) && self->m_pManager) {
                    bool shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
                    if (self->m_pManager->HandleDialogKey(static_cast<UINT>(wParam), shift)) return 0;
                }
                break;
            case WM_GETOBJECT: {
                // The system's proxy for an edit names it after a static
                // window before it, and there is none: the control's own
                // object (its label's name, protected for a password) answers.
                LRESULT answer = 0;
                if (self->m_pManager && self->m_pManager->AnswerGetObject(wParam, lParam, self, answer)) return answer;
                break;
            }
            case WM_CHAR:
                // These keys belong to the dialog; the edit would only beep.
                if (wParam == L'\t' || wParam == L'\r' || wParam == 27) return 0;
                break;
            case WM_DESTROY:
                // The window may go with its parent; the text stays readable.
                self->KeepTextCopy();
                break;
            case WM_NCDESTROY: {
                ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
                ::RemovePropW(hwnd, kEditProp);
                if (self->m_hWndEdit == hwnd) self->m_hWndEdit = nullptr;
                return ::CallWindowProcW(old, hwnd, msg, wParam, lParam);
            }
            default:
                break;
        }
        return ::CallWindowProcW(old, hwnd, msg, wParam, lParam);
    });
}

}  // namespace DuiLib
