// The screen reader's view; see AccessibleWalker.h.
#include "AccessibleWalker.h"

#include <memory>

#include "TestSupport.h"

namespace accwalk {

const IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

ComScope::ComScope() : m_ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComScope::~ComScope()
{
    if (m_ok_) ::CoUninitialize();
}

VARIANT Self()
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

namespace {

std::wstring TakeBstr(BSTR text)
{
    std::wstring out = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return out;
}

}  // namespace

Node Read(IAccessible* object)
{
    Node n;
    const VARIANT self = Self();
    VARIANT v;
    ::VariantInit(&v);
    if (SUCCEEDED(object->get_accRole(self, &v)) && v.vt == VT_I4) n.role = v.lVal;
    ::VariantClear(&v);
    if (SUCCEEDED(object->get_accState(self, &v)) && v.vt == VT_I4) n.state = static_cast<DWORD>(v.lVal);
    ::VariantClear(&v);
    BSTR text = nullptr;
    if (SUCCEEDED(object->get_accName(self, &text))) n.name = TakeBstr(text);
    text = nullptr;
    n.valueResult = object->get_accValue(self, &text);
    if (SUCCEEDED(n.valueResult)) n.value = TakeBstr(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accDefaultAction(self, &text))) n.defaultAction = TakeBstr(text);
    long x = 0, y = 0, w = 0, h = 0;
    if (SUCCEEDED(object->accLocation(&x, &y, &w, &h, self))) n.location = {x, y, x + w, y + h};
    return n;
}

Tree::Tree(HWND window)
{
    IAccessible* root = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                            reinterpret_cast<void**>(&root))) ||
        !root)
        return;
    Walk(root, 0);
}

Tree::~Tree()
{
    for (Node& n : m_nodes_) {
        if (n.object) n.object->Release();
    }
}

void Tree::Walk(IAccessible* object, int depth)
{
    Node node = Read(object);
    node.depth = depth;
    node.object = object;
    m_nodes_.push_back(node);
    long count = 0;
    if (FAILED(object->get_accChildCount(&count)) || count <= 0) return;
    std::unique_ptr<VARIANT[]> children(new VARIANT[static_cast<size_t>(count)]);
    long got = 0;
    if (FAILED(::AccessibleChildren(object, 0, count, children.get(), &got))) return;
    for (long i = 0; i < got; ++i) {
        VARIANT& child = children[static_cast<size_t>(i)];
        IAccessible* childObject = nullptr;
        if (child.vt == VT_DISPATCH && child.pdispVal &&
            SUCCEEDED(child.pdispVal->QueryInterface(kIidAccessible, reinterpret_cast<void**>(&childObject))))
            Walk(childObject, depth + 1);
        ::VariantClear(&child);
    }
}

const Node* Tree::Find(long role, const std::wstring& name) const
{
    for (size_t i = 1; i < m_nodes_.size(); ++i) {
        if (m_nodes_[i].role == role && m_nodes_[i].name == name) return &m_nodes_[i];
    }
    return nullptr;
}

std::wstring RoleText(long role)
{
    // The system's own words would follow the Windows language; the
    // transcript must read the same everywhere.
    switch (role) {
        case ROLE_SYSTEM_CLIENT: return L"client";
        case ROLE_SYSTEM_DIALOG: return L"dialog";
        case ROLE_SYSTEM_LIST: return L"list";
        case ROLE_SYSTEM_LISTITEM: return L"list item";
        case ROLE_SYSTEM_PUSHBUTTON: return L"push button";
        case ROLE_SYSTEM_CHECKBUTTON: return L"check box";
        case ROLE_SYSTEM_RADIOBUTTON: return L"radio button";
        case ROLE_SYSTEM_STATICTEXT: return L"text";
        case ROLE_SYSTEM_TEXT: return L"editable text";
        case ROLE_SYSTEM_COMBOBOX: return L"combo box";
        case ROLE_SYSTEM_ALERT: return L"alert";
        case ROLE_SYSTEM_GROUPING: return L"grouping";
        case ROLE_SYSTEM_MENUPOPUP: return L"menu";
        case ROLE_SYSTEM_MENUITEM: return L"menu item";
        default: break;
    }
    return L"role " + std::to_wstring(role);
}

std::wstring TranscriptLine(const Node& node)
{
    std::wstring line(static_cast<size_t>(node.depth) * 2, L' ');
    line += RoleText(node.role) + L"  \"" + node.name + L"\"";
    if (!node.value.empty()) line += L"  = " + node.value;
    static const struct {
        DWORD bit;
        const wchar_t* word;
    } kStates[] = {{STATE_SYSTEM_FOCUSED, L"focused"},       {STATE_SYSTEM_SELECTED, L"selected"},
                   {STATE_SYSTEM_CHECKED, L"checked"},       {STATE_SYSTEM_UNAVAILABLE, L"unavailable"},
                   {STATE_SYSTEM_PROTECTED, L"protected"},   {STATE_SYSTEM_DEFAULT, L"default"},
                   {STATE_SYSTEM_OFFSCREEN, L"offscreen"},   {STATE_SYSTEM_EXPANDED, L"expanded"},
                   {STATE_SYSTEM_COLLAPSED, L"collapsed"}};
    std::wstring states;
    for (const auto& s : kStates) {
        if (node.state & s.bit) states += (states.empty() ? L"" : L", ") + std::wstring(s.word);
    }
    if (!states.empty()) line += L"  [" + states + L"]";
    return line;
}

std::vector<std::string> Unreadable(const Tree& tree, HWND window)
{
    std::vector<std::string> problems;
    RECT frame;
    ::GetWindowRect(window, &frame);
    for (const Node& n : tree.Nodes()) {
        if (n.state & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) continue;
        const std::string what = testsupport::ToUtf8(TranscriptLine(n));
        RECT inside;
        if (n.role == 0) problems.push_back("no role: " + what);
        if (n.name.empty()) problems.push_back("no name: " + what);
        if (!::IntersectRect(&inside, &n.location, &frame) || !::EqualRect(&inside, &n.location))
            problems.push_back("outside the window: " + what);
    }
    return problems;
}

std::wstring Transcript(const Tree& tree)
{
    std::wstring text;
    for (const Node& n : tree.Nodes()) {
        if (n.state & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) continue;
        text += TranscriptLine(n) + L"\n";
    }
    return text;
}

}  // namespace accwalk
