// Accessibility of the control tree; see UIAccessible.h.
//
// Every object a client sees stands for one control and knows it only by the
// control's accessible id, looked up afresh in the paint manager on every
// call: a view rebuilt under a client's feet makes its objects answer
// E_INVALIDARG, never touch freed controls. Children are always full objects
// (never simple elements), so a child id anywhere means "the control with
// that id", which is also what the WinEvents carry.
#include "DuiLib/UIAccessible.h"

#include <oleacc.h>

#include <algorithm>

#include "DuiLib/BoundaryGuard.h"
#include "DuiLib/UIButton.h"
#include "DuiLib/UICombo.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIEdit.h"
#include "DuiLib/UILabel.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

namespace {

// IID_IAccessible of the import library resolves to a wrong value in a static
// MinGW link; this is the interface's real id.
const IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

AccessibleActionTexts& ActionTexts()
{
    static AccessibleActionTexts texts;
    return texts;
}

std::wstring PlainText(const std::wstring& text)
{
    if (text.find(L'{') == std::wstring::npos) return TrimText(text);
    std::wstring plain;
    for (const THtmlRun& run : ParseHtmlText(text)) plain += run.lineBreak ? std::wstring(L" ") : run.text;
    return TrimText(plain);
}

// The text a label speaks for another control: its plain text without the
// trailing colon that only separates it on screen.
std::wstring LabelText(CControlUI* label)
{
    std::wstring text = PlainText(label->GetText());
    while (!text.empty() && (text.back() == L':' || text.back() == 0xFF1A || iswspace(text.back())))
        text.pop_back();
    return text;
}

// Texts of the controls named in a comma list, looked for in the nearest
// ancestor that holds each (the control's own row before the whole window).
std::wstring TextsOfNamed(CControlUI* from, const std::wstring& names)
{
    std::wstring joined;
    size_t pos = 0;
    while (pos <= names.size()) {
        size_t comma = names.find(L',', pos);
        if (comma == std::wstring::npos) comma = names.size();
        const std::wstring name = TrimText(names.substr(pos, comma - pos));
        pos = comma + 1;
        if (name.empty()) continue;
        for (CControlUI* scope = from; scope; scope = scope->GetParent()) {
            CControlUI* found = scope->FindSubControl(name);
            if (!found) continue;
            const std::wstring text = found->IsVisible() ? LabelText(found) : std::wstring();
            if (!text.empty()) joined += (joined.empty() ? L"" : L", ") + text;
            break;
        }
    }
    return joined;
}

bool IsRoleName(CControlUI* control, const wchar_t* name)
{
    return EqualsNoCase(control->GetAccRoleName(), name);
}

long RoleOf(CControlUI* control)
{
    if (long explicitRole = AccessibleRoleFromName(control->GetAccRoleName())) return explicitRole;
    if (!control->GetParent()) return ROLE_SYSTEM_CLIENT;
    if (ControlCast<CEditUI>(control)) return ROLE_SYSTEM_TEXT;
    if (ControlCast<CComboUI>(control)) return ROLE_SYSTEM_COMBOBOX;
    if (COptionUI* option = ControlCast<COptionUI>(control))
        return option->GetGroup().empty() ? ROLE_SYSTEM_CHECKBUTTON : ROLE_SYSTEM_RADIOBUTTON;
    if (ControlCast<CButtonUI>(control)) return ROLE_SYSTEM_PUSHBUTTON;
    if (ControlCast<CLabelUI>(control)) return ROLE_SYSTEM_STATICTEXT;
    if (ControlCast<CContainerUI>(control)) return ROLE_SYSTEM_GROUPING;
    return ROLE_SYSTEM_GRAPHIC;
}

std::wstring NameOf(CControlUI* control)
{
    if (!control->GetAccName().empty()) return control->GetAccName();
    if (!control->GetAccLabelFrom().empty()) {
        std::wstring label = TextsOfNamed(control, control->GetAccLabelFrom());
        if (!label.empty()) return label;
    }
    // An edit's and a combo's own text is their value, never their name.
    if (ControlCast<CEditUI>(control) || ControlCast<CComboUI>(control)) return control->GetToolTip();
    // A tooltip names what an icon or a symbol ("✕") cannot say.
    if (!control->GetToolTip().empty() && ControlCast<CButtonUI>(control)) return control->GetToolTip();
    std::wstring text = PlainText(control->GetText());
    return text.empty() ? control->GetToolTip() : text;
}

// What is painted of the control, after every scrolling or clipping
// ancestor: empty when it is scrolled away.
RECT VisiblePart(CControlUI* control)
{
    RECT rc = control->GetPos();
    for (CControlUI* p = control->GetParent(); p; p = p->GetParent()) {
        RECT clip = p->GetPos();
        if (!::IntersectRect(&rc, &rc, &clip)) return {0, 0, 0, 0};
    }
    return rc;
}

bool HasSystemFocus(CPaintManagerUI* manager)
{
    HWND focus = ::GetFocus();
    HWND own = manager->GetPaintWindow();
    return focus && own && (focus == own || ::IsChild(own, focus));
}

}  // namespace

void SetAccessibleActionTexts(const AccessibleActionTexts& texts)
{
    ActionTexts() = texts;
}

long AccessibleRoleFromName(const std::wstring& name)
{
    static const struct {
        const wchar_t* name;
        long role;
    } kRoles[] = {
        {L"pushbutton", ROLE_SYSTEM_PUSHBUTTON}, {L"checkbutton", ROLE_SYSTEM_CHECKBUTTON},
        {L"radiobutton", ROLE_SYSTEM_RADIOBUTTON}, {L"listitem", ROLE_SYSTEM_LISTITEM},
        {L"list", ROLE_SYSTEM_LIST},               {L"pagetab", ROLE_SYSTEM_PAGETAB},
        {L"pagetablist", ROLE_SYSTEM_PAGETABLIST}, {L"statictext", ROLE_SYSTEM_STATICTEXT},
        {L"text", ROLE_SYSTEM_TEXT},               {L"grouping", ROLE_SYSTEM_GROUPING},
        {L"pane", ROLE_SYSTEM_PANE},               {L"alert", ROLE_SYSTEM_ALERT},
        {L"dialog", ROLE_SYSTEM_DIALOG},           {L"menupopup", ROLE_SYSTEM_MENUPOPUP},
        {L"menuitem", ROLE_SYSTEM_MENUITEM},       {L"client", ROLE_SYSTEM_CLIENT},
        {L"combobox", ROLE_SYSTEM_COMBOBOX},       {L"graphic", ROLE_SYSTEM_GRAPHIC},
    };
    for (const auto& r : kRoles) {
        if (EqualsNoCase(name, r.name)) return r.role;
    }
    return 0;
}

bool IsAccessibleObject(CControlUI* control)
{
    if (!control) return false;
    if (IsRoleName(control, L"none")) return false;
    if (AccessibleRoleFromName(control->GetAccRoleName())) return true;
    if (ControlCast<CEditUI>(control) || ControlCast<CComboUI>(control) || ControlCast<CButtonUI>(control))
        return true;
    if (!control->GetAccName().empty()) return true;
    if (ControlCast<CLabelUI>(control)) return !PlainText(control->GetText()).empty();
    return false;
}

std::vector<CControlUI*> GetAccessibleChildren(CControlUI* control)
{
    std::vector<CControlUI*> children;
    std::function<void(CControlUI*)> collect = [&](CControlUI* c) {
        auto* container = ControlCast<CContainerUI>(c);
        // A combo's items live in its drop-down list, not in the window.
        if (!container || ControlCast<CComboUI>(c)) return;
        for (int i = 0; i < container->GetCount(); ++i) {
            CControlUI* item = container->GetItemAt(i);
            if (!item || !item->IsVisible()) continue;
            if (IsAccessibleObject(item))
                children.push_back(item);
            else
                collect(item);
        }
    };
    collect(control);
    return children;
}

CControlUI* GetAccessibleParent(CControlUI* control)
{
    CControlUI* p = control ? control->GetParent() : nullptr;
    while (p && p->GetParent() && !IsAccessibleObject(p)) p = p->GetParent();
    return (p && p->GetParent()) ? p : nullptr;
}

AccessibleDescription DescribeAccessible(CControlUI* control)
{
    AccessibleDescription d;
    if (!control) return d;
    CPaintManagerUI* manager = control->GetManager();
    if (CComboUI* combo = ControlCast<CComboUI>(control->GetParent())) {
        // An item of a combo lives in its drop-down list: shown while that is
        // open, the cursor item focused (if the combo is), the chosen one
        // selected.
        d.role = ROLE_SYSTEM_LISTITEM;
        d.name = PlainText(control->GetText());
        const int index = combo->GetItemIndex(control);
        const int hot = combo->GetDropDownHotIndex();
        d.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
        if (!combo->IsDropDownOpen()) d.state |= STATE_SYSTEM_INVISIBLE;
        if (index == (combo->IsDropDownOpen() ? hot : combo->GetCurSel())) d.state |= STATE_SYSTEM_SELECTED;
        if (combo->IsDropDownOpen() && index == hot && manager && manager->GetFocus() == combo)
            d.state |= STATE_SYSTEM_FOCUSED;
        d.defaultAction = ActionTexts().select;
        return d;
    }
    d.role = RoleOf(control);
    d.name = NameOf(control);

    if (!control->GetAccValue().empty()) {
        d.value = control->GetAccValue();
    } else if (!control->GetAccValueFrom().empty()) {
        d.value = TextsOfNamed(control, control->GetAccValueFrom());
    } else if (CEditUI* edit = ControlCast<CEditUI>(control)) {
        if (edit->IsPasswordMode())
            d.valueProtected = true;
        else
            d.value = edit->GetText();
    } else if (ControlCast<CComboUI>(control)) {
        d.value = control->GetText();
    }
    d.hasValue = !d.value.empty() || d.valueProtected || ControlCast<CEditUI>(control);

    if (!control->IsVisible()) d.state |= STATE_SYSTEM_INVISIBLE;
    if (!control->IsEnabled()) d.state |= STATE_SYSTEM_UNAVAILABLE;
    if (RectEmpty(VisiblePart(control)) && control->GetParent()) d.state |= STATE_SYSTEM_OFFSCREEN;
    COptionUI* option = ControlCast<COptionUI>(control);
    const bool keyboardReachable = control->IsTabStop() || (option && !option->GetGroup().empty());
    if (keyboardReachable && control->IsKeyboardEnabled()) d.state |= STATE_SYSTEM_FOCUSABLE;
    if (manager && manager->GetFocus() == control && HasSystemFocus(manager)) d.state |= STATE_SYSTEM_FOCUSED;
    if (option) {
        if (d.role == ROLE_SYSTEM_CHECKBUTTON || d.role == ROLE_SYSTEM_RADIOBUTTON) {
            if (option->IsSelected()) d.state |= STATE_SYSTEM_CHECKED;
        } else {
            d.state |= STATE_SYSTEM_SELECTABLE;
            if (option->IsSelected()) d.state |= STATE_SYSTEM_SELECTED;
        }
    }
    if (CComboUI* combo = ControlCast<CComboUI>(control))
        d.state |= combo->IsDropDownOpen() ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
    if (CButtonUI* button = ControlCast<CButtonUI>(control)) {
        if (button->IsDefaultButton()) d.state |= STATE_SYSTEM_DEFAULT;
        if (button->IsHot()) d.state |= STATE_SYSTEM_HOTTRACKED;
        if (button->IsPushed()) d.state |= STATE_SYSTEM_PRESSED;
    }
    if (CEditUI* edit = ControlCast<CEditUI>(control)) {
        if (edit->IsPasswordMode()) d.state |= STATE_SYSTEM_PROTECTED;
        if (edit->IsReadOnly()) d.state |= STATE_SYSTEM_READONLY;
    } else if (d.role == ROLE_SYSTEM_STATICTEXT || d.role == ROLE_SYSTEM_ALERT) {
        d.state |= STATE_SYSTEM_READONLY;
    }

    const AccessibleActionTexts& actions = ActionTexts();
    if (control->IsDefaultActionDoubleClick())
        d.defaultAction = actions.open;
    else if (ControlCast<CComboUI>(control))
        d.defaultAction = actions.open;
    else if (option && d.role == ROLE_SYSTEM_CHECKBUTTON)
        d.defaultAction = option->IsSelected() ? actions.uncheck : actions.check;
    else if (option)
        d.defaultAction = actions.select;
    else if (ControlCast<CButtonUI>(control))
        d.defaultAction = actions.press;
    return d;
}

// ---- The COM objects ---------------------------------------------------------------

class CAccObject;

struct CAccessibleHost::Shared {
    CPaintManagerUI* manager = nullptr;  // null once the window is gone
    HWND hwnd = nullptr;
    std::vector<CAccObject*> live;
};

namespace {

HRESULT Disconnected()
{
    return RPC_E_DISCONNECTED;
}

BSTR ToBstr(const std::wstring& text)
{
    return text.empty() ? nullptr : ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace

class CAccObject final : public IAccessible, public IEnumVARIANT {
public:
    // id 0 is the window's client object (the root control).
    CAccObject(std::shared_ptr<CAccessibleHost::Shared> shared, long id, AccessibleView view = AccessibleView::Control)
        : m_shared(std::move(shared)), m_id(id), m_view(view)
    {
        // A client in this process may keep the object after the window,
        // and the plug-in, are gone: its Release still runs in this library.
        HoldLibrary();
        m_shared->live.push_back(this);
    }

    static IDispatch* For(const std::shared_ptr<CAccessibleHost::Shared>& shared, CControlUI* control,
                          AccessibleView view = AccessibleView::Control)
    {
        const long id = (control && control->GetParent()) ? control->GetAccId() : 0;
        return static_cast<IAccessible*>(new CAccObject(shared, id, view));
    }

    // ---- IUnknown ----
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible) {
            *out = static_cast<IAccessible*>(this);
        } else if (riid == IID_IEnumVARIANT) {
            *out = static_cast<IEnumVARIANT*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        CEntryScope entry;  // the last one may let the library go, once it has returned
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

    // ---- IDispatch: clients use the vtable; there is no type library ----
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // ---- IAccessible ----
    STDMETHODIMP get_accParent(IDispatch** parent) override
    {
        if (parent) *parent = nullptr;
        return Guard([&](CControlUI* self) -> HRESULT {
            if (!parent) return E_POINTER;
            *parent = nullptr;
            if (m_id == 0) {
                // The window's own object is the client's parent.
                return ::AccessibleObjectFromWindow(m_shared->hwnd, static_cast<DWORD>(OBJID_WINDOW),
                                                    IID_IDispatch, reinterpret_cast<void**>(parent)) == S_OK
                           ? S_OK
                           : S_FALSE;
            }
            *parent = For(m_shared, IsDropDownList() ? self : GetAccessibleParent(self));
            return S_OK;
        });
    }
    STDMETHODIMP get_accChildCount(long* count) override
    {
        if (count) *count = 0;
        return Guard([&](CControlUI* self) -> HRESULT {
            if (!count) return E_POINTER;
            *count = static_cast<long>(ChildrenOf(self).size());
            return S_OK;
        });
    }
    STDMETHODIMP get_accChild(VARIANT varChild, IDispatch** child) override
    {
        if (child) *child = nullptr;
        return Guard([&](CControlUI*) -> HRESULT {
            if (!child) return E_POINTER;
            *child = nullptr;
            CControlUI* target = nullptr;
            HRESULT hr = Resolve(varChild, target);
            if (FAILED(hr)) return hr;
            *child = For(m_shared, target);
            return S_OK;
        });
    }
    STDMETHODIMP get_accName(VARIANT varChild, BSTR* name) override
    {
        return Describe(varChild, name, [](const AccessibleDescription& d, BSTR* out) {
            *out = ToBstr(d.name);
            return *out ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP get_accValue(VARIANT varChild, BSTR* value) override
    {
        return Describe(varChild, value, [](const AccessibleDescription& d, BSTR* out) -> HRESULT {
            if (d.valueProtected) return E_ACCESSDENIED;
            if (!d.hasValue) return DISP_E_MEMBERNOTFOUND;
            *out = ToBstr(d.value);
            return *out ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP get_accDescription(VARIANT varChild, BSTR* description) override
    {
        return Describe(varChild, description, [](const AccessibleDescription&, BSTR* out) {
            *out = nullptr;
            return S_FALSE;
        });
    }
    STDMETHODIMP get_accRole(VARIANT varChild, VARIANT* role) override
    {
        if (role) ::VariantInit(role);
        return Describe(varChild, role, [](const AccessibleDescription& d, VARIANT* out) {
            out->vt = VT_I4;
            out->lVal = d.role;
            return S_OK;
        });
    }
    STDMETHODIMP get_accState(VARIANT varChild, VARIANT* state) override
    {
        if (state) ::VariantInit(state);
        return Guard([&](CControlUI*) -> HRESULT {
            if (!state) return E_POINTER;
            CControlUI* target = nullptr;
            HRESULT hr = Resolve(varChild, target);
            if (FAILED(hr)) return hr;
            DWORD bits = Description(target).state;
            if (!target->GetParent()) {
                bits = STATE_SYSTEM_FOCUSABLE;
                if (::GetFocus() == m_shared->hwnd && !m_shared->manager->GetFocus()) bits |= STATE_SYSTEM_FOCUSED;
                if (!::IsWindowVisible(m_shared->hwnd)) bits |= STATE_SYSTEM_INVISIBLE;
            }
            state->vt = VT_I4;
            state->lVal = static_cast<LONG>(bits);
            return S_OK;
        });
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* help) override
    {
        if (help) *help = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override
    {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override
    {
        if (shortcut) *shortcut = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override
    {
        if (focus) ::VariantInit(focus);
        return Guard([&](CControlUI* self) -> HRESULT {
            if (!focus) return E_POINTER;
            CPaintManagerUI* manager = m_shared->manager;
            if (!HasSystemFocus(manager)) return S_FALSE;
            CControlUI* focused = manager->GetFocus();
            if (!focused || focused == self || !IsAccessibleObject(focused)) {
                if (self->GetParent() && focused != self) return S_FALSE;
                focus->vt = VT_I4;
                focus->lVal = CHILDID_SELF;
                return S_OK;
            }
            if (!IsDescendant(focused, self)) return S_FALSE;
            focus->vt = VT_DISPATCH;
            focus->pdispVal = For(m_shared, focused);
            return S_OK;
        });
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override
    {
        if (selection) ::VariantInit(selection);
        return Guard([&](CControlUI* self) -> HRESULT {
            if (!selection) return E_POINTER;
            for (CControlUI* child : ChildrenOf(self)) {
                if (!(DescribeAccessible(child).state & STATE_SYSTEM_SELECTED)) continue;
                selection->vt = VT_DISPATCH;
                selection->pdispVal = For(m_shared, child);
                return S_OK;
            }
            return S_FALSE;
        });
    }
    STDMETHODIMP get_accDefaultAction(VARIANT varChild, BSTR* action) override
    {
        return Describe(varChild, action, [](const AccessibleDescription& d, BSTR* out) {
            *out = ToBstr(d.defaultAction);
            return *out ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP accSelect(long flags, VARIANT varChild) override
    {
        return Guard([&](CControlUI*) -> HRESULT {
            CControlUI* target = nullptr;
            HRESULT hr = Resolve(varChild, target);
            if (FAILED(hr)) return hr;
            if (flags & (SELFLAG_ADDSELECTION | SELFLAG_REMOVESELECTION | SELFLAG_EXTENDSELECTION))
                return E_INVALIDARG;  // nothing here selects more than one
            if (!target->IsVisible() || !target->IsEnabled()) return E_FAIL;
            if (flags & SELFLAG_TAKEFOCUS) {
                if (!target->GetParent())
                    ::SetFocus(m_shared->hwnd);
                else
                    m_shared->manager->SetFocus(target);
            }
            if (flags & SELFLAG_TAKESELECTION) {
                COptionUI* option = ControlCast<COptionUI>(target);
                if (!option) return E_INVALIDARG;
                if (!option->IsSelected()) option->Activate();
            }
            return S_OK;
        });
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT varChild) override
    {
        for (long* out : {left, top, width, height})
            if (out) *out = 0;
        return Guard([&](CControlUI*) -> HRESULT {
            if (!left || !top || !width || !height) return E_POINTER;
            CControlUI* target = nullptr;
            HRESULT hr = Resolve(varChild, target);
            if (FAILED(hr)) return hr;
            RECT rc = target->GetParent() ? target->GetPos() : RECT{0, 0, 0, 0};
            HWND from = m_shared->hwnd;
            if (!target->GetParent()) ::GetClientRect(m_shared->hwnd, &rc);
            CComboUI* combo = ControlCast<CComboUI>(target);
            CComboUI* owner = ControlCast<CComboUI>(target->GetParent());
            if (IsDropDownList() && combo && combo->IsDropDownOpen()) {
                from = combo->GetDropDownWindow();
                ::GetClientRect(from, &rc);
            } else if (owner) {
                from = owner->GetDropDownWindow();
                rc = {0, 0, 0, 0};
                if (!from || !owner->GetDropDownItemRect(owner->GetItemIndex(target), rc)) return S_FALSE;
            }
            ::MapWindowPoints(from, nullptr, reinterpret_cast<POINT*>(&rc), 2);
            *left = rc.left;
            *top = rc.top;
            *width = rc.right - rc.left;
            *height = rc.bottom - rc.top;
            return S_OK;
        });
    }
    STDMETHODIMP accNavigate(long direction, VARIANT varStart, VARIANT* end) override
    {
        if (end) ::VariantInit(end);
        return Guard([&](CControlUI* self) -> HRESULT {
            if (!end) return E_POINTER;
            CControlUI* start = nullptr;
            HRESULT hr = Resolve(varStart, start);
            if (FAILED(hr)) return hr;
            CControlUI* found = nullptr;
            if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
                if (start != self) return E_INVALIDARG;
                std::vector<CControlUI*> children = ChildrenOf(self);
                if (!children.empty()) found = direction == NAVDIR_FIRSTCHILD ? children.front() : children.back();
            } else {
                found = Neighbour(start, direction);
            }
            if (!found) return S_FALSE;
            end->vt = VT_DISPATCH;
            end->pdispVal = For(m_shared, found);
            return S_OK;
        });
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* hit) override
    {
        if (hit) ::VariantInit(hit);
        return Guard([&](CControlUI* self) -> HRESULT {
            if (!hit) return E_POINTER;
            POINT pt = {x, y};
            ::ScreenToClient(m_shared->hwnd, &pt);
            RECT client;
            ::GetClientRect(m_shared->hwnd, &client);
            if (!::PtInRect(&client, pt)) return S_FALSE;
            CControlUI* c = m_shared->manager->FindControl(pt);
            while (c && c != self && !(IsAccessibleObject(c) && c->GetParent())) c = c->GetParent();
            if (c && c != self && !IsDescendant(c, self)) c = nullptr;
            if (!c) {
                if (self->GetParent() && !::PtInRect(&self->GetPos(), pt)) return S_FALSE;
                c = self;
            }
            if (c == self) {
                hit->vt = VT_I4;
                hit->lVal = CHILDID_SELF;
            } else {
                hit->vt = VT_DISPATCH;
                hit->pdispVal = For(m_shared, c);
            }
            return S_OK;
        });
    }
    STDMETHODIMP accDoDefaultAction(VARIANT varChild) override
    {
        return Guard([&](CControlUI*) -> HRESULT {
            CControlUI* target = nullptr;
            HRESULT hr = Resolve(varChild, target);
            if (FAILED(hr)) return hr;
            if (DescribeAccessible(target).defaultAction.empty()) return DISP_E_MEMBERNOTFOUND;
            if (!target->IsVisible() || !target->IsEnabled()) return E_FAIL;
            return ::PostMessageW(m_shared->hwnd, CAccessibleHost::GetDefaultActionMessage(),
                                  static_cast<WPARAM>(target->GetAccId()), 0)
                       ? S_OK
                       : E_FAIL;
        });
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

    // ---- IEnumVARIANT over the children: AccessibleChildren() takes this
    // road; without it, it would ask for children 1..n by index, which are
    // not the ids used here.
    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override
    {
        ULONG got = 0;
        HRESULT hr = Guard([&](CControlUI* self) -> HRESULT {
            if (!items) return E_POINTER;
            std::vector<CControlUI*> children = ChildrenOf(self);
            while (got < count && m_cursor < children.size()) {
                ::VariantInit(&items[got]);
                items[got].vt = VT_DISPATCH;
                items[got].pdispVal = For(m_shared, children[m_cursor]);
                ++got;
                ++m_cursor;
            }
            return got == count ? S_OK : S_FALSE;
        });
        if (fetched) *fetched = got;
        return hr;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        return Guard([&](CControlUI* self) -> HRESULT {
            const size_t children = ChildrenOf(self).size();
            const bool all = m_cursor + count <= children;
            m_cursor = all ? m_cursor + count : children;
            return all ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP Reset() override
    {
        m_cursor = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** copy) override
    {
        if (!copy) return E_POINTER;
        auto* clone = new CAccObject(m_shared, m_id, m_view);
        clone->m_cursor = m_cursor;
        *copy = static_cast<IEnumVARIANT*>(clone);
        return S_OK;
    }

private:
    ~CAccObject()
    {
        auto& live = m_shared->live;
        live.erase(std::remove(live.begin(), live.end(), this), live.end());
        ReleaseLibraryHold();
    }

    // The control this object stands for; null when the window or the
    // control is gone.
    CControlUI* Self() const
    {
        CPaintManagerUI* manager = m_shared->manager;
        if (!manager) return nullptr;
        return m_id == 0 ? manager->GetRoot() : manager->FindAccessibleId(m_id);
    }

    bool IsDropDownList() const { return m_view == AccessibleView::DropDownList; }

    // The drop-down list's children are its combo's items; every other
    // object's are the visible objects under its control.
    std::vector<CControlUI*> ChildrenOf(CControlUI* self) const
    {
        CComboUI* combo = IsDropDownList() ? ControlCast<CComboUI>(self) : nullptr;
        if (!combo) return GetAccessibleChildren(self);
        std::vector<CControlUI*> items;
        for (int i = 0; i < combo->GetCount(); ++i) items.push_back(combo->GetItemAt(i));
        return items;
    }

    static bool IsDescendant(CControlUI* control, CControlUI* ancestor)
    {
        for (CControlUI* c = control ? control->GetParent() : nullptr; c; c = c->GetParent()) {
            if (c == ancestor) return true;
        }
        return false;
    }

    HRESULT Resolve(const VARIANT& child, CControlUI*& target) const
    {
        CControlUI* self = Self();
        if (!self) return Disconnected();
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) {
            target = self;
            return S_OK;
        }
        target = m_shared->manager->FindAccessibleId(child.lVal);
        if (!target || !IsDescendant(target, self)) return E_INVALIDARG;
        return S_OK;
    }

    // Runs a body with the control resolved; nothing thrown leaves for the client.
    template <class Body>
    HRESULT Guard(Body body)
    {
        return GuardBoundary("CAccObject", E_FAIL, [&]() -> HRESULT {
            CControlUI* self = Self();
            if (!self) return Disconnected();
            return body(self);
        });
    }

    // What a target says of itself, the drop-down list's own object being a
    // list named after its combo.
    AccessibleDescription Description(CControlUI* target) const
    {
        AccessibleDescription d = DescribeAccessible(target);
        if (IsDropDownList() && target == Self()) {
            d.role = ROLE_SYSTEM_LIST;
            d.value.clear();
            d.hasValue = false;
            d.defaultAction.clear();
            d.state &= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE;
        }
        return d;
    }

    static void ClearOut(BSTR* out) { *out = nullptr; }
    static void ClearOut(VARIANT* out) { ::VariantInit(out); }

    // Every [out] is set on every path: a strict client reads it even after
    // a failure.
    template <class Out, class Answer>
    HRESULT Describe(const VARIANT& child, Out* out, Answer answer)
    {
        if (out) ClearOut(out);
        return Guard([&](CControlUI*) -> HRESULT {
            if (!out) return E_POINTER;
            CControlUI* target = nullptr;
            HRESULT hr = Resolve(child, target);
            if (FAILED(hr)) return hr;
            AccessibleDescription d = Description(target);
            if (!target->GetParent()) {
                // The client object is named after the window unless the skin names it.
                if (d.name.empty()) {
                    wchar_t title[256] = {};
                    ::GetWindowTextW(m_shared->hwnd, title, 256);
                    d.name = title;
                }
                d.hasValue = false;
                d.defaultAction.clear();
            }
            return answer(d, out);
        });
    }

    // The sibling in a direction among the objects of the same parent:
    // next/previous in reading order, up/down/left/right by position.
    CControlUI* Neighbour(CControlUI* start, long direction) const
    {
        if (!start->GetParent()) return nullptr;
        CControlUI* parent = GetAccessibleParent(start);
        std::vector<CControlUI*> siblings = GetAccessibleChildren(parent ? parent : m_shared->manager->GetRoot());
        auto it = std::find(siblings.begin(), siblings.end(), start);
        if (it == siblings.end()) return nullptr;
        if (direction == NAVDIR_NEXT) return (it + 1) == siblings.end() ? nullptr : *(it + 1);
        if (direction == NAVDIR_PREVIOUS) return it == siblings.begin() ? nullptr : *(it - 1);
        const RECT& from = start->GetPos();
        CControlUI* best = nullptr;
        long bestDistance = LONG_MAX;
        for (CControlUI* s : siblings) {
            if (s == start) continue;
            const RECT& rc = s->GetPos();
            long along = 0;
            long across = 0;
            switch (direction) {
                case NAVDIR_UP: along = from.top - rc.bottom, across = labs(rc.left - from.left); break;
                case NAVDIR_DOWN: along = rc.top - from.bottom, across = labs(rc.left - from.left); break;
                case NAVDIR_LEFT: along = from.left - rc.right, across = labs(rc.top - from.top); break;
                case NAVDIR_RIGHT: along = rc.left - from.right, across = labs(rc.top - from.top); break;
                default: return nullptr;
            }
            if (along < 0) continue;
            const long distance = along * 4 + across;
            if (distance < bestDistance) bestDistance = distance, best = s;
        }
        return best;
    }

    LONG m_refs = 1;
    std::shared_ptr<CAccessibleHost::Shared> m_shared;
    long m_id;
    AccessibleView m_view;
    size_t m_cursor = 0;
};

// ---- CAccessibleHost ----------------------------------------------------------------------

CAccessibleHost::CAccessibleHost(CPaintManagerUI* manager) : m_shared(std::make_shared<Shared>())
{
    m_shared->manager = manager;
    m_shared->hwnd = manager->GetPaintWindow();
}

CAccessibleHost::~CAccessibleHost()
{
    m_shared->manager = nullptr;
    // Remote clients lose their proxies now; the stubs' references are
    // released while this library is still there to run Release.
    std::vector<CAccObject*> live = m_shared->live;
    for (CAccObject* object : live) ::CoDisconnectObject(static_cast<IAccessible*>(object), 0);
}

LRESULT CAccessibleHost::GetObjectResult(WPARAM wParam, CControlUI* control, AccessibleView view)
{
    IAccessible* root = static_cast<IAccessible*>(static_cast<IDispatch*>(CAccObject::For(m_shared, control, view)));
    const LRESULT result = ::LresultFromObject(kIidAccessible, wParam, root);
    root->Release();
    return result;
}

UINT CAccessibleHost::GetDefaultActionMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"DuiLib.AccessibleDefaultAction");
    return message;
}

}  // namespace DuiLib
