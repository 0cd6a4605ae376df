// The paint manager; see UIManager.h.
#include "DuiLib/UIManager.h"

#include <commctrl.h>

#include <oleacc.h>

#include <algorithm>
#include <set>

#include "DuiLib/BoundaryGuard.h"
#include "DuiLib/UIAccessible.h"
#include "DuiLib/UIButton.h"
#include "DuiLib/UIColorScheme.h"
#include "DuiLib/UICombo.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIEdit.h"
#include "DuiLib/UILabel.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIRender.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace DuiLib {

namespace {

struct SharedState {
    HINSTANCE instance = nullptr;
    std::wstring resourcePath;
    UILIB_RESOURCETYPE resourceType = UILIB_FILE;
    std::map<std::wstring, ControlFactory> classes;
    bool builtinsRegistered = false;
    std::vector<CPaintManagerUI*> managers;
    HWND systemChanges = nullptr;  // the listener of ListenForSystemChanges
};

SharedState& Shared()
{
    static SharedState state;
    return state;
}

std::wstring ClassKey(const std::wstring& name)
{
    std::wstring key = name;
    if (!key.empty()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

void RegisterBuiltins()
{
    SharedState& s = Shared();
    if (s.builtinsRegistered) return;
    s.builtinsRegistered = true;
    auto add = [&s](const wchar_t* name, ControlFactory f) {
        std::wstring key = ClassKey(name);
        if (!s.classes.count(key)) s.classes[key] = std::move(f);
    };
    add(L"Control", [] { return new CControlUI; });
    add(L"Label", [] { return new CLabelUI; });
    add(L"Text", [] { return new CTextUI; });
    add(L"Button", [] { return new CButtonUI; });
    add(L"Option", [] { return new COptionUI; });
    add(L"Combo", [] { return new CComboUI; });
    add(L"ComboItem", [] { return new CComboItemUI; });
    add(L"Edit", [] { return new CEditUI; });
    add(L"Container", [] { return new CContainerUI; });
    add(L"VerticalLayout", [] { return new CVerticalLayoutUI; });
    add(L"HorizontalLayout", [] { return new CHorizontalLayoutUI; });
    add(L"TabLayout", [] { return new CTabLayoutUI; });
}

int DetectDpi(HWND hwnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static GetDpiForWindowFn getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"));
    int dpi = 0;
    if (getDpiForWindow && hwnd) dpi = static_cast<int>(getDpiForWindow(hwnd));
    if (dpi <= 0) {
        ScopedWindowDC screen(nullptr);
        dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
    }
    return dpi > 0 ? dpi : 96;
}

int CALLBACK FontFamilyFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontFamilyExists(const std::wstring& face)
{
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    bool found = false;
    ScopedWindowDC screen(nullptr);
    if (!screen.get()) return false;
    ::EnumFontFamiliesExW(screen.get(), &lf, &FontFamilyFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

std::wstring DefaultGuiFace()
{
    LOGFONTW lf = {};
    if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf) && lf.lfFaceName[0])
        return lf.lfFaceName;
    return L"MS Shell Dlg";
}

std::wstring SystemMessageFace()
{
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0) &&
        ncm.lfMessageFont.lfFaceName[0])
        return ncm.lfMessageFont.lfFaceName;
    return DefaultGuiFace();
}

}  // namespace

// ---- Process-wide ------------------------------------------------------------------

void CPaintManagerUI::SetInstance(HINSTANCE instance)
{
    Shared().instance = instance;
}

HINSTANCE CPaintManagerUI::GetInstance()
{
    return Shared().instance;
}

void CPaintManagerUI::SetResourcePath(const std::wstring& path)
{
    std::wstring p = path;
    for (wchar_t& c : p) {
        if (c == L'/') c = L'\\';
    }
    if (!p.empty() && p.back() != L'\\') p += L'\\';
    Shared().resourcePath = p;
}

const std::wstring& CPaintManagerUI::GetResourcePath()
{
    return Shared().resourcePath;
}

void CPaintManagerUI::SetResourceType(UILIB_RESOURCETYPE type)
{
    Shared().resourceType = type;
}

UILIB_RESOURCETYPE CPaintManagerUI::GetResourceType()
{
    return Shared().resourceType;
}

void CPaintManagerUI::RegisterControlClass(const std::wstring& elementName, ControlFactory factory)
{
    RegisterBuiltins();
    if (elementName.empty() || !factory) return;
    Shared().classes[ClassKey(elementName)] = std::move(factory);
}

CControlUI* CPaintManagerUI::CreateRegisteredControl(const std::wstring& elementName)
{
    RegisterBuiltins();
    auto it = Shared().classes.find(ClassKey(elementName));
    return it == Shared().classes.end() ? nullptr : it->second();
}

void CPaintManagerUI::ReleaseSharedResources()
{
    SharedState& s = Shared();
    s.classes.clear();
    s.builtinsRegistered = false;
    CRenderEngine::ShutdownGdiplus();
}

namespace {

constexpr const wchar_t* kSystemChangesClass = L"DuiLibSystemChanges";

HINSTANCE ToolkitInstance()
{
    HINSTANCE instance = CPaintManagerUI::GetInstance();
    return instance ? instance : ::GetModuleHandleW(nullptr);
}

// Colours or the contrast mode changed under us: read them again and
// repaint every toolkit window of the process, child windows included,
// which see no broadcast unless their host forwards it.
void FollowSystemChange(UINT message, WPARAM wParam)
{
    if (!CColorScheme::Refresh() && message != WM_SYSCOLORCHANGE && wParam != SPI_SETHIGHCONTRAST) return;
    for (CPaintManagerUI* pm : Shared().managers) {
        const HWND hwnd = pm->GetPaintWindow();
        if (hwnd && ::IsWindow(hwnd))
            ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

LRESULT CALLBACK SystemChangesProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return GuardBoundary("SystemChangesProc", LRESULT(0), [&]() -> LRESULT {
        if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE) FollowSystemChange(message, wParam);
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    });
}

}  // namespace

bool CPaintManagerUI::ListenForSystemChanges()
{
    SharedState& s = Shared();
    if (s.systemChanges && ::IsWindow(s.systemChanges)) return true;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &SystemChangesProc;
    wc.hInstance = ToolkitInstance();
    wc.lpszClassName = kSystemChangesClass;
    if (!::RegisterClassW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // Hidden, unowned and top-level: broadcasts reach such windows, and a
    // tool window never shows in the taskbar should anything show it.
    s.systemChanges = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kSystemChangesClass, L"", WS_POPUP,
                                        0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    return s.systemChanges != nullptr;
}

void CPaintManagerUI::StopListeningForSystemChanges()
{
    SharedState& s = Shared();
    if (s.systemChanges && ::IsWindow(s.systemChanges)) ::DestroyWindow(s.systemChanges);
    s.systemChanges = nullptr;
    // No class of ours may outlive the library with its procedure.
    ::UnregisterClassW(kSystemChangesClass, ToolkitInstance());
}

bool CPaintManagerUI::IsListeningForSystemChanges()
{
    return Shared().systemChanges && ::IsWindow(Shared().systemChanges);
}

void CPaintManagerUI::DestroyAllWindows()
{
    // A window's destruction may take others with it, or end managers.
    std::vector<HWND> windows;
    for (CPaintManagerUI* pm : Shared().managers) windows.push_back(pm->m_hWndPaint);
    for (HWND hwnd : windows) {
        if (hwnd && ::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    }
}

bool CPaintManagerUI::TranslateMessage(const MSG* msg)
{
    if (!msg || !msg->hwnd) return false;
    std::vector<CPaintManagerUI*> managers = Shared().managers;
    for (CPaintManagerUI* pm : managers) {
        auto& live = Shared().managers;
        if (std::find(live.begin(), live.end(), pm) == live.end()) continue;
        HWND own = pm->m_hWndPaint;
        if (!own || !::IsWindow(own)) continue;
        if (msg->hwnd != own && !::IsChild(own, msg->hwnd)) continue;
        LRESULT result = 0;
        if (pm->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result)) return true;
    }
    return false;
}

// ---- Life ----------------------------------------------------------------------

CPaintManagerUI::CPaintManagerUI() : m_alive(std::make_shared<bool>(true)) {}

CPaintManagerUI::~CPaintManagerUI()
{
    *m_alive = false;
    m_accessible.reset();
    auto& list = Shared().managers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    HideTooltip();
    if (m_hwndTooltip && ::IsWindow(m_hwndTooltip)) ::DestroyWindow(m_hwndTooltip);
    m_hwndTooltip = nullptr;
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
    FlushDelayedCleanup();
    ReleaseFonts();
    ReleaseOffscreen();
}

void CPaintManagerUI::Init(HWND hWnd)
{
    m_hWndPaint = hWnd;
    m_bWindowDestroyed = false;
    m_nDpi = DetectDpi(hWnd);
    // Windows whose user wants keyboard cues always show the focus; the
    // others show it once the keyboard is used (WM_UPDATEUISTATE).
    BOOL cues = FALSE;
    m_bFocusCues = ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0) && cues;
    auto& list = Shared().managers;
    if (std::find(list.begin(), list.end(), this) == list.end()) list.push_back(this);
    CRenderEngine::EnsureGdiplus();
}

SIZE CPaintManagerUI::GetClientSize() const
{
    RECT rc = {0, 0, 0, 0};
    if (m_hWndPaint) ::GetClientRect(m_hWndPaint, &rc);
    return {RectWidth(rc), RectHeight(rc)};
}

SIZE CPaintManagerUI::GetInitSize() const
{
    return {ScaleValue(m_szInitWindow.cx), ScaleValue(m_szInitWindow.cy)};
}

void CPaintManagerUI::SetInitSize(int cx, int cy)
{
    m_szInitWindow = {cx, cy};
    if (m_hWndPaint && cx > 0 && cy > 0) {
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, ScaleValue(cx), ScaleValue(cy),
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

RECT CPaintManagerUI::GetSizeBox() const
{
    return {ScaleValue(m_rcSizeBox.left), ScaleValue(m_rcSizeBox.top), ScaleValue(m_rcSizeBox.right),
            ScaleValue(m_rcSizeBox.bottom)};
}

RECT CPaintManagerUI::GetCaptionRect() const
{
    return {ScaleValue(m_rcCaption.left), ScaleValue(m_rcCaption.top), ScaleValue(m_rcCaption.right),
            ScaleValue(m_rcCaption.bottom)};
}

SIZE CPaintManagerUI::GetRoundCorner() const
{
    return {ScaleValue(m_szRoundCorner.cx), ScaleValue(m_szRoundCorner.cy)};
}

SIZE CPaintManagerUI::GetMinInfo() const
{
    return {ScaleValue(m_szMinWindow.cx), ScaleValue(m_szMinWindow.cy)};
}

SIZE CPaintManagerUI::GetMaxInfo() const
{
    return {ScaleValue(m_szMaxWindow.cx), ScaleValue(m_szMaxWindow.cy)};
}

void CPaintManagerUI::SetDPI(int dpi)
{
    if (dpi <= 0 || dpi == m_nDpi) return;
    m_nDpi = dpi;
    ReleaseFonts();
    // Native edits hold the old font handle: give them the new one at once.
    if (m_pRoot) {
        m_pRoot->FindControl(
            [this](CControlUI* c) {
                if (CEditUI* edit = ControlCast<CEditUI>(c)) {
                    if (edit->GetNativeWindow())
                        ::SendMessageW(edit->GetNativeWindow(), WM_SETFONT,
                                       reinterpret_cast<WPARAM>(GetFont(edit->GetFont())), TRUE);
                }
                return false;
            },
            UIFIND_ALL);
    }
    NeedUpdate();
}

// ---- Fonts --------------------------------------------------------------------------

void CPaintManagerUI::AddFont(int id, const std::wstring& face, int size, bool bold, bool underline,
                              bool italic, bool isDefault)
{
    FontEntry& e = m_fonts[id];
    e = FontEntry();
    e.requestedFace = face;
    e.size = size > 0 ? size : 12;
    e.bold = bold;
    e.underline = underline;
    e.italic = italic;
    if (isDefault || m_nDefaultFontId < 0) m_nDefaultFontId = id;
}

CPaintManagerUI::FontEntry* CPaintManagerUI::FindFontEntry(int id)
{
    auto it = m_fonts.find(id);
    if (it == m_fonts.end()) {
        it = m_fonts.find(m_nDefaultFontId);
        if (it == m_fonts.end()) {
            if (m_builtinFont.requestedFace.empty()) {
                m_builtinFont.requestedFace = SystemMessageFace();
                m_builtinFont.size = 12;
            }
            return &m_builtinFont;
        }
    }
    return &it->second;
}

void CPaintManagerUI::MakeFont(FontEntry& e)
{
    if (e.hFont) return;
    if (e.face.empty()) e.face = FontFamilyExists(e.requestedFace) ? e.requestedFace : DefaultGuiFace();
    LOGFONTW lf = {};
    lf.lfHeight = -ScaleValue(e.size);
    lf.lfWeight = e.bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = e.underline ? TRUE : FALSE;
    lf.lfItalic = e.italic ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(lf.lfFaceName, e.face.c_str(), LF_FACESIZE - 1);
    e.hFont.reset(::CreateFontIndirectW(&lf));
    if (!e.hFont) {
        e.face = DefaultGuiFace();
        wcsncpy(lf.lfFaceName, e.face.c_str(), LF_FACESIZE - 1);
        e.hFont.reset(::CreateFontIndirectW(&lf));
    }
    e.height = ScaleValue(e.size);
    ScopedWindowDC screen(nullptr);
    if (screen.get() && e.hFont) {
        ScopedSelectObject select(screen.get(), e.hFont.get());
        TEXTMETRICW tm;
        if (::GetTextMetricsW(screen.get(), &tm)) e.height = tm.tmHeight;
    }
}

void CPaintManagerUI::ReleaseFonts()
{
    for (auto& f : m_fonts) f.second.hFont.reset();
    m_builtinFont.hFont.reset();
}

HFONT CPaintManagerUI::GetFont(int id)
{
    FontEntry* e = FindFontEntry(id);
    MakeFont(*e);
    return e->hFont ? e->hFont.get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

HFONT CPaintManagerUI::GetDefaultFont()
{
    return GetFont(m_nDefaultFontId);
}

int CPaintManagerUI::GetFontHeight(int id)
{
    FontEntry* e = FindFontEntry(id);
    MakeFont(*e);
    return e->height;
}

std::wstring CPaintManagerUI::GetFontFace(int id)
{
    FontEntry* e = FindFontEntry(id);
    MakeFont(*e);
    return e->face;
}

// ---- Default attributes -------------------------------------------------------------------

void CPaintManagerUI::AddDefaultAttributeList(const std::wstring& elementName, const std::wstring& attributes)
{
    m_defaultAttributes[ClassKey(elementName)] = attributes;
}

std::wstring CPaintManagerUI::GetDefaultAttributeList(const std::wstring& elementName) const
{
    auto it = m_defaultAttributes.find(ClassKey(elementName));
    return it == m_defaultAttributes.end() ? std::wstring() : it->second;
}

// ---- Tree -------------------------------------------------------------------------------------

bool CPaintManagerUI::AttachDialog(CControlUI* root)
{
    if (!root) return false;
    if (m_pRoot && m_pRoot != root) {
        CControlUI* old = m_pRoot;
        m_pRoot = nullptr;
        DestroyControlLater(old);
    }
    m_pRoot = root;
    root->SetManager(this, nullptr, true);
    m_bFirstLayout = true;
    NeedUpdate();
    return true;
}

CControlUI* CPaintManagerUI::FindControl(const std::wstring& name) const
{
    return FindSubControlByName(m_pRoot, name);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, const std::wstring& name) const
{
    if (!parent || name.empty()) return nullptr;
    return parent->FindSubControl(name);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt)
{
    if (!m_pRoot) return nullptr;
    UpdateLayout();
    return m_pRoot->FindControlAt(pt);
}

void CPaintManagerUI::NeedUpdate()
{
    // While a layout is pending the whole window is invalid already: building
    // a page adds hundreds of controls, and every further InvalidateRect would
    // be one more round trip to the window system for nothing.
    const bool pending = m_bUpdateNeeded;
    m_bUpdateNeeded = true;
    if (m_hWndPaint && !pending) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::LayoutTo(const RECT& rc)
{
    if (!m_pRoot || m_bLayingOut) return;
    auto alive = m_alive;
    m_bLayingOut = true;
    // "windowinit" handlers change texts and visibility; lay out again after.
    for (int pass = 0; pass < 4; ++pass) {
        m_bUpdateNeeded = false;
        m_pRoot->SetPos(rc);
        if (m_bFirstLayout) {
            m_bFirstLayout = false;
            m_bLayingOut = false;
            SendNotify(m_pRoot, DUI_MSGTYPE_WINDOWINIT);
            if (!*alive) return;
            m_bLayingOut = true;
            m_bUpdateNeeded = true;
            continue;
        }
        if (!m_bUpdateNeeded) break;
    }
    m_bLayingOut = false;
    m_bPresented = true;
}

void CPaintManagerUI::UpdateLayout()
{
    if (!m_pRoot) return;
    RECT rc = {0, 0, 0, 0};
    if (m_hWndPaint) {
        ::GetClientRect(m_hWndPaint, &rc);
    } else {
        SIZE sz = GetInitSize();
        rc = {0, 0, sz.cx, sz.cy};
    }
    const RECT& cur = m_pRoot->GetPos();
    if (!m_bUpdateNeeded && !m_bFirstLayout && EqualRect(&cur, &rc)) return;
    LayoutTo(rc);
    RestoreFocusIfLost();
    FlushReorders();
}

void CPaintManagerUI::Invalidate(const RECT& rc)
{
    if (m_hWndPaint && !RectEmpty(rc)) ::InvalidateRect(m_hWndPaint, &rc, FALSE);
}

void CPaintManagerUI::Invalidate()
{
    if (m_hWndPaint) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

bool CPaintManagerUI::IsSelfOrDescendant(const CControlUI* candidate, const CControlUI* ancestor)
{
    for (const CControlUI* c = candidate; c; c = c->GetParent()) {
        if (c == ancestor) return true;
    }
    return false;
}

void CPaintManagerUI::ReapObjects(CControlUI* control)
{
    if (!control) return;
    if (control->PeekAccId()) m_accIds.erase(control->PeekAccId());
    if (IsSelfOrDescendant(m_pFocus, control)) {
        // A view rebuilt under the keyboard focus gives it to a sensible
        // control at its next layout, not to nobody.
        m_pFocus = nullptr;
        m_bFocusLost = true;
    }
    if (IsSelfOrDescendant(m_pEventHover, control)) m_pEventHover = nullptr;
    if (IsSelfOrDescendant(m_pEventClick, control)) m_pEventClick = nullptr;
    if (IsSelfOrDescendant(m_pEventRClick, control)) m_pEventRClick = nullptr;
    if (IsSelfOrDescendant(m_pTooltipOwner, control)) HideTooltip();
    if (m_pRoot == control) m_pRoot = nullptr;
    m_reorderPending.erase(std::remove_if(m_reorderPending.begin(), m_reorderPending.end(),
                                          [control](CControlUI* c) { return IsSelfOrDescendant(c, control); }),
                           m_reorderPending.end());
    for (auto& group : m_optionGroups) {
        auto& v = group.second;
        v.erase(std::remove_if(v.begin(), v.end(),
                               [control](COptionUI* o) { return IsSelfOrDescendant(o, control); }),
                v.end());
    }
}

void CPaintManagerUI::DestroyControlLater(CControlUI* control)
{
    if (!control) return;
    ReapObjects(control);
    control->SetInternVisible(false);
    control->m_pParent = nullptr;
    if (m_nDispatchDepth > 0) {
        m_delayedCleanup.push_back(control);
    } else {
        delete control;
    }
}

void CPaintManagerUI::FlushDelayedCleanup()
{
    while (!m_delayedCleanup.empty()) {
        std::vector<CControlUI*> pending;
        pending.swap(m_delayedCleanup);
        for (CControlUI* c : pending) delete c;
    }
}

// ---- Accessibility -------------------------------------------------------------------------

void CPaintManagerUI::NotifyAccessibleEvent(DWORD event, CControlUI* control, HWND window)
{
    if (!m_hWndPaint) return;
    // The focus and alerts are news whoever listens. Changes are told only
    // once some client has asked for this window, and only of what a
    // client can have seen: a control built since the last layout is part
    // of its container's reorder, not hundreds of name changes, each of
    // them a round trip for a reader in another process.
    if (event != EVENT_OBJECT_FOCUS && event != EVENT_SYSTEM_ALERT) {
        if (!m_accessible || !m_bPresented) return;
        // A drop-down list's items are laid out in their own window.
        if (control && !control->HasBeenLaidOut() && !window) return;
    }
    const LONG child = (control && control->GetParent()) ? control->GetAccId() : CHILDID_SELF;
    ::NotifyWinEvent(event, window ? window : m_hWndPaint, OBJID_CLIENT, child);
}

bool CPaintManagerUI::AnswerGetObject(WPARAM wParam, LPARAM lParam, CControlUI* control, LRESULT& lRes,
                                      AccessibleView view)
{
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT || !m_pRoot || m_bWindowDestroyed) return false;
    if (!m_accessible) m_accessible = std::make_unique<CAccessibleHost>(this);
    const LRESULT result = m_accessible->GetObjectResult(wParam, control, view);
    // A failure is no answer: the window's default processing gives the
    // system's own object instead.
    if (result < 0) return false;
    lRes = result;
    return true;
}

bool CPaintManagerUI::IsMenuWindow() const
{
    return m_pRoot && EqualsNoCase(m_pRoot->GetAccRoleName(), L"menupopup");
}

void CPaintManagerUI::NoteChildrenChanged(CControlUI* container)
{
    if (!container || !m_accessible || !m_bPresented || !container->HasBeenLaidOut()) return;
    if (std::find(m_reorderPending.begin(), m_reorderPending.end(), container) == m_reorderPending.end())
        m_reorderPending.push_back(container);
}

void CPaintManagerUI::NoteVisibilityChanged(CControlUI* control)
{
    if (!control || !control->GetParent()) return;
    if (IsAccessibleObject(control))
        NotifyAccessibleEvent(control->IsVisible() ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE, control);
    else
        NoteChildrenChanged(control->GetParent());
}

void CPaintManagerUI::FlushReorders()
{
    if (m_reorderPending.empty()) return;
    std::vector<CControlUI*> pending;
    pending.swap(m_reorderPending);
    std::vector<LONG> told;
    for (CControlUI* c : pending) {
        // Inside another changed container: that one's reorder covers it.
        bool covered = false;
        for (CControlUI* other : pending)
            if (other != c && IsSelfOrDescendant(c, other)) covered = true;
        if (covered || !m_hWndPaint) continue;
        CControlUI* object = IsAccessibleObject(c) && c->GetParent() ? c : GetAccessibleParent(c);
        const LONG child = object ? object->GetAccId() : CHILDID_SELF;
        if (std::find(told.begin(), told.end(), child) != told.end()) continue;
        told.push_back(child);
        ::NotifyWinEvent(EVENT_OBJECT_REORDER, m_hWndPaint, OBJID_CLIENT, child);
    }
}

void CPaintManagerUI::NotifyAlert()
{
    CControlUI* alert = m_pRoot ? m_pRoot->FindControl(
                                      [](CControlUI* c) { return EqualsNoCase(c->GetAccRoleName(), L"alert"); },
                                      UIFIND_VISIBLE)
                                : nullptr;
    NotifyAccessibleEvent(EVENT_SYSTEM_ALERT, alert);
}

long CPaintManagerUI::RegisterAccessibleId(CControlUI* control)
{
    const long id = m_nextAccId++;
    m_accIds[id] = control;
    return id;
}

CControlUI* CPaintManagerUI::FindAccessibleId(long id) const
{
    auto it = m_accIds.find(id);
    if (it == m_accIds.end()) return nullptr;
    // Removed controls wait for deletion outside the tree: they are gone.
    CControlUI* c = it->second;
    CControlUI* top = c;
    while (top->GetParent()) top = top->GetParent();
    return top == m_pRoot ? c : nullptr;
}

// ---- Option groups --------------------------------------------------------------------------

void CPaintManagerUI::AddOptionGroup(const std::wstring& group, COptionUI* option)
{
    auto& v = m_optionGroups[group];
    if (std::find(v.begin(), v.end(), option) == v.end()) v.push_back(option);
}

void CPaintManagerUI::RemoveOptionGroup(const std::wstring& group, COptionUI* option)
{
    auto it = m_optionGroups.find(group);
    if (it == m_optionGroups.end()) return;
    auto& v = it->second;
    v.erase(std::remove(v.begin(), v.end(), option), v.end());
    if (v.empty()) m_optionGroups.erase(it);
}

const std::vector<COptionUI*>* CPaintManagerUI::GetOptionGroup(const std::wstring& group) const
{
    auto it = m_optionGroups.find(group);
    return it == m_optionGroups.end() ? nullptr : &it->second;
}

// ---- Notifications ---------------------------------------------------------------------------

namespace {

// Sinks and filters are kept once each, in the order they were added.
template <typename T>
bool AddUnique(std::vector<T*>& list, T* item)
{
    if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
    list.push_back(item);
    return true;
}

template <typename T>
bool RemoveOnce(std::vector<T*>& list, T* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

}  // namespace

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) { return AddUnique(m_notifiers, notifier); }

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) { return RemoveOnce(m_notifiers, notifier); }

void CPaintManagerUI::SendNotify(CControlUI* control, const std::wstring& type, WPARAM wParam, LPARAM lParam)
{
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.dwTimestamp = ::GetTickCount();
    msg.ptMouse = m_ptLastMousePos;
    msg.wParam = wParam;
    msg.lParam = lParam;
    auto alive = m_alive;
    // Controls removed by a handler are deleted after the current message,
    // never under the feet of the code that notified.
    ++m_nDispatchDepth;
    bool handled = control && control->OnNotify(msg);
    if (!*alive) return;
    if (!handled) {
        std::vector<INotifyUI*> sinks = m_notifiers;
        for (INotifyUI* sink : sinks) {
            if (std::find(m_notifiers.begin(), m_notifiers.end(), sink) == m_notifiers.end()) continue;
            sink->Notify(msg);
            if (!*alive) return;
        }
    }
    --m_nDispatchDepth;
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) { return AddUnique(m_preFilters, filter); }

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) { return RemoveOnce(m_preFilters, filter); }

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) { return AddUnique(m_filters, filter); }

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) { return RemoveOnce(m_filters, filter); }

// ---- Messages ----------------------------------------------------------------------------------

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    std::vector<IMessageFilterUI*> filters = m_preFilters;
    for (IMessageFilterUI* f : filters) {
        bool handled = false;
        LRESULT r = f->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = r;
            return true;
        }
    }
    return PreTranslateKey(uMsg, wParam, lParam, lRes);
}

bool CPaintManagerUI::FireEvent(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam)
{
    if (!control) return *m_alive;
    auto alive = m_alive;
    TEventUI ev;
    ev.Type = type;
    ev.pSender = control;
    ev.dwTimestamp = ::GetTickCount();
    ev.ptMouse = pt;
    ev.wParam = wParam;
    ev.lParam = lParam;
    ev.chKey = static_cast<wchar_t>(wParam);
    ev.wKeyState = 0;
    if (::GetKeyState(VK_CONTROL) & 0x8000) ev.wKeyState |= MK_CONTROL;
    if (::GetKeyState(VK_SHIFT) & 0x8000) ev.wKeyState |= MK_SHIFT;
    control->DoEvent(ev);
    return *alive;
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    if (!m_hWndPaint) return false;
    if (m_nDispatchDepth == 0) FlushDelayedCleanup();
    std::vector<IMessageFilterUI*> filters = m_filters;
    for (IMessageFilterUI* f : filters) {
        bool handled = false;
        LRESULT r = f->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = r;
            return true;
        }
    }
    auto alive = m_alive;
    ++m_nDispatchDepth;
    bool handled = HandleMessageInner(uMsg, wParam, lParam, lRes);
    if (!*alive) return handled;
    if (--m_nDispatchDepth == 0) FlushDelayedCleanup();
    return handled;
}

bool CPaintManagerUI::HandleMessageInner(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    auto pointFrom = [](LPARAM lp) {
        POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        return pt;
    };
    switch (uMsg) {
        case WM_ERASEBKGND:
            if (!m_pRoot) return false;
            lRes = 1;
            return true;
        case WM_PAINT:
            if (!m_pRoot) return false;
            PaintWindow();
            lRes = 0;
            return true;
        case WM_PRINTCLIENT: {
            if (!m_pRoot) return false;
            UpdateLayout();
            RECT rc;
            ::GetClientRect(m_hWndPaint, &rc);
            PaintTree(reinterpret_cast<HDC>(wParam), rc, rc);
            lRes = 0;
            return true;
        }
        case WM_SIZE:
            if (m_pRoot) NeedUpdate();
            return false;
        case WM_DPICHANGED: {
            SetDPI(HIWORD(wParam));
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            if (suggested) {
                ::SetWindowPos(m_hWndPaint, nullptr, suggested->left, suggested->top, RectWidth(*suggested),
                               RectHeight(*suggested), SWP_NOZORDER | SWP_NOACTIVATE);
            }
            lRes = 0;
            return true;
        }
        case WM_MOUSEMOVE: {
            if (!m_bMouseTracking) {
                TRACKMOUSEEVENT tme = {};
                tme.cbSize = sizeof(tme);
                tme.dwFlags = TME_HOVER | TME_LEAVE;
                tme.hwndTrack = m_hWndPaint;
                tme.dwHoverTime = GetHoverTime();
                if (::TrackMouseEvent(&tme)) m_bMouseTracking = true;
            }
            POINT pt = pointFrom(lParam);
            m_ptLastMousePos = pt;
            CControlUI* hover = FindControl(pt);
            if (hover != m_pEventHover && m_pEventHover) {
                HideTooltip();
                CControlUI* old = m_pEventHover;
                m_pEventHover = nullptr;
                if (!FireEvent(old, UIEVENT_MOUSELEAVE, pt, 0, 0)) return false;
            }
            if (hover && hover != m_pEventHover) {
                m_pEventHover = hover;
                if (!FireEvent(hover, UIEVENT_MOUSEENTER, pt, 0, 0)) return false;
            }
            if (m_pEventClick)
                FireEvent(m_pEventClick, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
            else if (m_pEventHover)
                FireEvent(m_pEventHover, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
            return false;
        }
        case WM_MOUSEHOVER: {
            m_bMouseTracking = false;
            POINT pt = pointFrom(lParam);
            CControlUI* hover = FindControl(pt);
            if (!hover) return false;
            if (hover != m_pEventHover) {
                if (m_pEventHover && !FireEvent(m_pEventHover, UIEVENT_MOUSELEAVE, pt, 0, 0)) return true;
                m_pEventHover = hover;
                if (!FireEvent(hover, UIEVENT_MOUSEENTER, pt, 0, 0)) return true;
            }
            if (!FireEvent(hover, UIEVENT_MOUSEHOVER, pt, wParam, lParam)) return true;
            if (m_pEventHover == hover && !hover->GetToolTip().empty()) ShowTooltip(hover, pt);
            lRes = 0;
            return true;
        }
        case WM_MOUSELEAVE: {
            m_bMouseTracking = false;
            HideTooltip();
            if (m_pEventHover) {
                CControlUI* old = m_pEventHover;
                m_pEventHover = nullptr;
                FireEvent(old, UIEVENT_MOUSELEAVE, m_ptLastMousePos, 0, 0);
            }
            // Reported as not handled: the window's own code watches it too.
            return false;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            m_bLastInputKeyboard = false;
            POINT pt = pointFrom(lParam);
            m_ptLastMousePos = pt;
            HideTooltip();
            CControlUI* c = FindControl(pt);
            if (!c) return false;
            if (c->IsTabStop())
                SetFocus(c);
            else if (m_hWndPaint && ::GetFocus() != m_hWndPaint)
                ::SetFocus(m_hWndPaint);
            if (c->GetManager() != this) return false;
            m_pEventClick = c;
            ::SetCapture(m_hWndPaint);
            FireEvent(c, uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, pt, wParam, lParam);
            return false;
        }
        case WM_LBUTTONUP: {
            POINT pt = pointFrom(lParam);
            m_ptLastMousePos = pt;
            CControlUI* c = m_pEventClick;
            m_pEventClick = nullptr;
            if (::GetCapture() == m_hWndPaint) ::ReleaseCapture();
            if (c) FireEvent(c, UIEVENT_BUTTONUP, pt, wParam, lParam);
            return false;
        }
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != m_hWndPaint && m_pEventClick) {
                // Capture taken away: the press is cancelled, no click follows.
                CControlUI* c = m_pEventClick;
                m_pEventClick = nullptr;
                FireEvent(c, UIEVENT_BUTTONUP, {-32000, -32000}, 0, 0);
            }
            return false;
        case WM_RBUTTONDOWN: {
            m_bLastInputKeyboard = false;
            POINT pt = pointFrom(lParam);
            m_ptLastMousePos = pt;
            HideTooltip();
            m_pEventRClick = FindControl(pt);
            if (m_pEventRClick) FireEvent(m_pEventRClick, UIEVENT_RBUTTONDOWN, pt, wParam, lParam);
            return false;
        }
        case WM_RBUTTONUP: {
            POINT pt = pointFrom(lParam);
            m_ptLastMousePos = pt;
            CControlUI* c = FindControl(pt);
            CControlUI* pressed = m_pEventRClick;
            m_pEventRClick = nullptr;
            if (c && c == pressed) FireEvent(c, UIEVENT_RBUTTONUP, pt, wParam, lParam);
            return false;
        }
        case WM_MOUSEWHEEL: {
            POINT pt = pointFrom(lParam);
            ::ScreenToClient(m_hWndPaint, &pt);
            CControlUI* c = FindControl(pt);
            if (c) FireEvent(c, UIEVENT_SCROLLWHEEL, pt, wParam, lParam);
            return false;
        }
        case WM_SETCURSOR: {
            if (LOWORD(lParam) != HTCLIENT || reinterpret_cast<HWND>(wParam) != m_hWndPaint) return false;
            POINT pt;
            ::GetCursorPos(&pt);
            ::ScreenToClient(m_hWndPaint, &pt);
            CControlUI* c = FindControl(pt);
            if (!c) return false;
            FireEvent(c, UIEVENT_SETCURSOR, pt, wParam, lParam);
            lRes = TRUE;
            return true;
        }
        case WM_GETOBJECT:
            return AnswerGetObject(wParam, lParam, nullptr, lRes);
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) {
                CEditUI* edit = CEditUI::FromNativeWindow(reinterpret_cast<HWND>(lParam));
                if (edit && edit->GetManager() == this) {
                    edit->OnNativeTextChanged();
                    lRes = 0;
                    return true;
                }
            }
            return false;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            CEditUI* edit = CEditUI::FromNativeWindow(reinterpret_cast<HWND>(lParam));
            if (!edit || edit->GetManager() != this) return false;
            HDC dc = reinterpret_cast<HDC>(wParam);
            HBRUSH brush = edit->GetNativeBrush();
            LOGBRUSH lb = {};
            ::GetObjectW(brush, sizeof(lb), &lb);
            ::SetBkColor(dc, lb.lbColor);
            ::SetTextColor(dc, ArgbToColorRef(edit->GetNativeTextColor()));
            lRes = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
            FollowSystemChange(uMsg, wParam);
            return false;
        case WM_SHOWWINDOW:
            // A window whose root is a menu opens and closes as one, as the
            // system's menus tell a screen reader.
            if (IsMenuWindow())
                ::NotifyWinEvent(wParam ? EVENT_SYSTEM_MENUPOPUPSTART : EVENT_SYSTEM_MENUPOPUPEND, m_hWndPaint,
                                 OBJID_CLIENT, CHILDID_SELF);
            return false;
        case WM_DESTROY:
            if (IsMenuWindow() && ::IsWindowVisible(m_hWndPaint))
                ::NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, m_hWndPaint, OBJID_CLIENT, CHILDID_SELF);
            // Late WM_GETOBJECTs of a window on its way out get no new host.
            m_bWindowDestroyed = true;
            m_accessible.reset();
            HideTooltip();
            if (m_hwndTooltip && ::IsWindow(m_hwndTooltip)) ::DestroyWindow(m_hwndTooltip);
            m_hwndTooltip = nullptr;
            return false;
        default:
            if (HandleKeyboardMessage(uMsg, wParam, lParam, lRes)) return true;
            if (uMsg == CAccessibleHost::GetDefaultActionMessage()) {
                CControlUI* target = FindAccessibleId(static_cast<long>(wParam));
                if (target) target->DoDefaultAction();
                lRes = 0;
                return true;
            }
            return false;
    }
}

// ---- Painting ------------------------------------------------------------------------------------

void CPaintManagerUI::ReleaseOffscreen()
{
    m_offscreenSelection.reset();
    m_hDcOffscreen.reset();
    m_hbmpOffscreen.reset();
    m_pOffscreenBits = nullptr;
    m_szOffscreen = {0, 0};
}

namespace {
HBITMAP CreateTopDownDib(HDC reference, int cx, int cy, void** bits)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(reference, &bmi, DIB_RGB_COLORS, bits, nullptr, 0);
}
}  // namespace

void CPaintManagerUI::PaintTree(HDC hdc, const RECT& rcClient, const RECT& rcPaint)
{
    RECT rc;
    if (!::IntersectRect(&rc, &rcClient, &rcPaint)) return;
    CRenderEngine::DrawColor(hdc, rc,
                             CColorScheme::Pick(UIColorRole::WindowBk, m_dwWindowBkColor | 0xFF000000u));
    if (!m_pRoot) return;
    int saved = ::SaveDC(hdc);
    ::IntersectClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
    m_pRoot->DoPaint(hdc, rc);
    PaintFocusIndicator(hdc, rc);
    ::RestoreDC(hdc, saved);
}

void CPaintManagerUI::PaintWindow()
{
    UpdateLayout();
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
    if (!hdc) return;
    RECT client;
    ::GetClientRect(m_hWndPaint, &client);
    if (!RectEmpty(client) && !RectEmpty(ps.rcPaint)) {
        if (!m_hDcOffscreen || m_szOffscreen.cx != client.right || m_szOffscreen.cy != client.bottom) {
            ReleaseOffscreen();
            void* bits = nullptr;
            m_hbmpOffscreen.reset(CreateTopDownDib(hdc, client.right, client.bottom, &bits));
            m_pOffscreenBits = m_hbmpOffscreen ? bits : nullptr;
            if (m_hbmpOffscreen) m_hDcOffscreen.reset(::CreateCompatibleDC(hdc));
            if (m_hDcOffscreen) {
                m_offscreenSelection.emplace(m_hDcOffscreen.get(), m_hbmpOffscreen.get());
                m_szOffscreen = {client.right, client.bottom};
            } else {
                ReleaseOffscreen();
            }
        }
        if (m_hDcOffscreen) {
            {
                CBackBufferScope buffer(m_hDcOffscreen.get(), m_pOffscreenBits, m_szOffscreen.cx, m_szOffscreen.cy);
                PaintTree(m_hDcOffscreen.get(), client, ps.rcPaint);
            }
            // Native child windows (edits) paint themselves; never copy over them.
            for (HWND child = ::GetWindow(m_hWndPaint, GW_CHILD); child;
                 child = ::GetWindow(child, GW_HWNDNEXT)) {
                if (!::IsWindowVisible(child)) continue;
                RECT rcChild;
                ::GetWindowRect(child, &rcChild);
                ::MapWindowPoints(nullptr, m_hWndPaint, reinterpret_cast<POINT*>(&rcChild), 2);
                ::ExcludeClipRect(hdc, rcChild.left, rcChild.top, rcChild.right, rcChild.bottom);
            }
            ::BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top, RectWidth(ps.rcPaint), RectHeight(ps.rcPaint),
                     m_hDcOffscreen.get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        } else {
            PaintTree(hdc, client, ps.rcPaint);
        }
    }
    ::EndPaint(m_hWndPaint, &ps);
}

bool CPaintManagerUI::RenderToPixels(int cx, int cy, std::vector<DWORD>& pixels)
{
    if (!m_pRoot) return false;
    if (cx <= 0 || cy <= 0) {
        SIZE sz = m_hWndPaint ? GetClientSize() : GetInitSize();
        cx = sz.cx;
        cy = sz.cy;
    }
    if (cx <= 0 || cy <= 0) return false;
    RECT rc = {0, 0, cx, cy};
    const RECT& cur = m_pRoot->GetPos();
    if (m_bUpdateNeeded || m_bFirstLayout || !EqualRect(&cur, &rc)) LayoutTo(rc);
    if (!m_pRoot) return false;
    void* bits = nullptr;
    ScopedBitmap dib;
    ScopedCreatedDC mem;
    {
        ScopedWindowDC screen(nullptr);
        dib.reset(CreateTopDownDib(screen.get(), cx, cy, &bits));
        if (dib) mem.reset(::CreateCompatibleDC(screen.get()));
    }
    if (!mem) return false;
    {
        ScopedSelectObject select(mem.get(), dib.get());
        CBackBufferScope buffer(mem.get(), bits, cx, cy);
        PaintTree(mem.get(), rc, rc);
        ::GdiFlush();
        pixels.assign(static_cast<const DWORD*>(bits),
                      static_cast<const DWORD*>(bits) + static_cast<size_t>(cx) * static_cast<size_t>(cy));
    }
    // The window itself lays out to its own client size again.
    if (m_hWndPaint) NeedUpdate();
    return true;
}

bool CPaintManagerUI::SaveSnapshot(const std::wstring& pngPath, int cx, int cy)
{
    std::vector<DWORD> pixels;
    if (cx <= 0 || cy <= 0) {
        SIZE sz = m_hWndPaint ? GetClientSize() : GetInitSize();
        cx = sz.cx;
        cy = sz.cy;
    }
    if (!RenderToPixels(cx, cy, pixels)) return false;
    return CRenderEngine::SavePixelsAsPng(pixels, cx, cy, pngPath);
}

// ---- Tooltips ------------------------------------------------------------------------------------

UINT CPaintManagerUI::GetHoverTime() const
{
    if (m_hwndTooltip) {
        LRESULT delay = ::SendMessageW(m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0);
        if (delay > 0) return static_cast<UINT>(delay);
    }
    return 400;
}

void CPaintManagerUI::ShowTooltip(CControlUI* control, POINT pt)
{
    if (!m_hWndPaint) return;
    if (!m_hwndTooltip) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&icc);
        HINSTANCE instance = GetInstance();
        m_hwndTooltip = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint, nullptr,
                                          instance ? instance : ::GetModuleHandleW(nullptr), nullptr);
        if (!m_hwndTooltip) return;
        ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, ScaleValue(360));
        m_bTooltipAdded = false;
    }
    m_sTooltipText = control->GetToolTip();
    TTTOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    ti.hwnd = m_hWndPaint;
    ti.uId = 1;
    ti.lpszText = &m_sTooltipText[0];
    ti.rect = control->GetPos();
    if (!m_bTooltipAdded) {
        m_bTooltipAdded = ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    } else {
        ::SendMessageW(m_hwndTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    POINT screen = {pt.x, pt.y + ScaleValue(22)};
    ::ClientToScreen(m_hWndPaint, &screen);
    ::SendMessageW(m_hwndTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
    ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    m_pTooltipOwner = control;
}

void CPaintManagerUI::HideTooltip()
{
    if (m_hwndTooltip && m_pTooltipOwner && m_bTooltipAdded) {
        TTTOOLINFOW ti = {};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.hwnd = m_hWndPaint;
        ti.uId = 1;
        ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    }
    m_pTooltipOwner = nullptr;
}

}  // namespace DuiLib
