// The dialog builder; see UIDlgBuilder.h.
#include "DuiLib/UIDlgBuilder.h"

#include <memory>
#include <set>

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIManager.h"

namespace DuiLib {

namespace {
std::wstring& LastBuildError()
{
    static std::wstring text;
    return text;
}

CDialogBuilder::FailureReporter g_failureReporter = nullptr;

std::set<std::wstring>& ReportedFiles()
{
    static std::set<std::wstring> files;
    return files;
}
}  // namespace

void CDialogBuilder::SetFailureReporter(FailureReporter reporter)
{
    g_failureReporter = reporter;
    ReportedFiles().clear();
}

std::wstring CDialogBuilder::GetLastBuildError()
{
    return LastBuildError();
}

std::wstring CDialogBuilder::GetErrorText() const
{
    if (m_sError.empty()) return std::wstring();
    return m_sErrorFile + L"(" + std::to_wstring(m_iErrorLine) + L"): " + m_sError;
}

void CDialogBuilder::Fail(const std::wstring& message, int line)
{
    if (!m_sError.empty()) return;
    m_sError = message;
    m_iErrorLine = line;
    LastBuildError() = GetErrorText();
    OutputDebugStringW((L"DuiLib: " + LastBuildError() + L"\n").c_str());
    if (g_failureReporter && ReportedFiles().insert(m_sErrorFile).second) g_failureReporter(LastBuildError());
}

bool CDialogBuilder::Load(const std::wstring& xml, const wchar_t* type)
{
    if (!xml.empty() && xml[0] == L'<') {
        m_sErrorFile = L"<text>";
        if (m_markup.LoadFromText(xml)) return true;
        Fail(m_markup.GetLastErrorMessage(), m_markup.GetErrorLine());
        return false;
    }
    m_sErrorFile = xml;
    bool fromResource = (type && *type) || CPaintManagerUI::GetResourceType() == UILIB_RESOURCE;
    if (fromResource) {
        HINSTANCE instance = CPaintManagerUI::GetInstance();
        HRSRC res = ::FindResourceW(instance, xml.c_str(), (type && *type) ? type : L"XML");
        HGLOBAL data = res ? ::LoadResource(instance, res) : nullptr;
        const char* bytes = data ? static_cast<const char*>(::LockResource(data)) : nullptr;
        if (!bytes) {
            Fail(L"no such skin resource", 0);
            return false;
        }
        if (m_markup.LoadFromBytes(std::string(bytes, ::SizeofResource(instance, res)))) return true;
    } else {
        std::wstring path = xml;
        bool absolute = (path.size() > 1 && path[1] == L':') || (path.size() > 1 && path[0] == L'\\');
        if (!absolute) path = CPaintManagerUI::GetResourcePath() + path;
        for (wchar_t& c : path) {
            if (c == L'/') c = L'\\';
        }
        if (m_markup.LoadFromFile(path)) return true;
    }
    Fail(m_markup.GetLastErrorMessage(), m_markup.GetErrorLine());
    return false;
}

void CDialogBuilder::ApplyWindow(const CMarkupNode& node, CPaintManagerUI* manager)
{
    for (const auto& a : node.GetAttributes()) {
        const std::wstring& name = a.first;
        const std::wstring& value = a.second;
        if (name == L"size") {
            SIZE sz = ParseSize(value);
            manager->SetInitSize(sz.cx, sz.cy);
        } else if (name == L"sizebox") {
            manager->SetSizeBox(ParseRect(value));
        } else if (name == L"caption") {
            manager->SetCaptionRect(ParseRect(value));
        } else if (name == L"roundcorner") {
            SIZE sz = ParseSize(value);
            manager->SetRoundCorner(sz.cx, sz.cy);
        } else if (name == L"mininfo") {
            SIZE sz = ParseSize(value);
            manager->SetMinInfo(sz.cx, sz.cy);
        } else if (name == L"maxinfo") {
            SIZE sz = ParseSize(value);
            manager->SetMaxInfo(sz.cx, sz.cy);
        } else if (name == L"bkcolor") {
            DWORD c = 0;
            if (ParseColor(value, c)) manager->SetWindowBkColor(c);
        } else if (name == L"textcolor" || name == L"defaultfontcolor") {
            DWORD c = 0;
            if (ParseColor(value, c)) manager->SetDefaultTextColor(c);
        } else if (name == L"disabledtextcolor" || name == L"disabledfontcolor") {
            DWORD c = 0;
            if (ParseColor(value, c)) manager->SetDefaultDisabledColor(c);
        }
    }
}

CControlUI* CDialogBuilder::BuildControl(const CMarkupNode& node, IDialogBuilderCallback* callback,
                                         CPaintManagerUI* manager)
{
    const std::wstring& cls = node.GetName();
    std::unique_ptr<CControlUI> control(CPaintManagerUI::CreateRegisteredControl(cls));
    if (!control && callback) control.reset(callback->CreateControl(cls.c_str()));
    if (!control) {
        Fail(L"unknown control class <" + cls + L">", node.GetLine());
        return nullptr;
    }
    if (manager) {
        std::wstring defaults = manager->GetDefaultAttributeList(cls);
        if (!defaults.empty()) control->ApplyAttributeList(defaults);
    }
    for (const auto& a : node.GetAttributes()) control->SetAttribute(a.first, a.second);
    CContainerUI* container = ControlCast<CContainerUI>(control.get());
    for (const auto& childNode : node.GetChildren()) {
        if (!container) {
            Fail(L"<" + cls + L"> cannot hold controls", childNode->GetLine());
            return nullptr;
        }
        CControlUI* child = BuildControl(*childNode, callback, manager);
        if (!child) return nullptr;
        if (!container->Add(child)) {
            delete child;
            Fail(L"cannot add <" + childNode->GetName() + L">", childNode->GetLine());
            return nullptr;
        }
    }
    return control.release();
}

CControlUI* CDialogBuilder::Create(const std::wstring& xml, const wchar_t* type,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent)
{
    m_sError.clear();
    m_sErrorFile.clear();
    m_iErrorLine = 0;
    if (xml.empty()) {
        Fail(L"no skin named", 0);
        return nullptr;
    }
    m_sLoadedFile.clear();
    if (!Load(xml, type)) return nullptr;
    m_sLoadedFile = m_sErrorFile;
    return BuildLoaded(callback, manager, parent);
}

CControlUI* CDialogBuilder::CreateAgain(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                        CControlUI* parent)
{
    m_sError.clear();
    m_iErrorLine = 0;
    m_sErrorFile = m_sLoadedFile;
    if (m_sLoadedFile.empty()) {
        Fail(L"no skin loaded to build again", 0);
        return nullptr;
    }
    return BuildLoaded(callback, manager, parent);
}

CControlUI* CDialogBuilder::BuildLoaded(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                        CControlUI* parent)
{
    const CMarkupNode* root = m_markup.GetRoot();
    const CMarkupNode* controlNode = root;
    if (root->GetName() == L"Window") {
        controlNode = nullptr;
        if (manager) ApplyWindow(*root, manager);
        for (const auto& child : root->GetChildren()) {
            const std::wstring& name = child->GetName();
            if (name == L"Font") {
                if (!manager) continue;
                int id = 0;
                if (!ParseInt(child->GetAttributeValue(L"id"), id)) {
                    Fail(L"<Font> needs a numeric id", child->GetLine());
                    return nullptr;
                }
                int size = 12;
                ParseInt(child->GetAttributeValue(L"size"), size);
                manager->AddFont(id, child->GetAttributeValue(L"name"), size,
                                 ParseBool(child->GetAttributeValue(L"bold")),
                                 ParseBool(child->GetAttributeValue(L"underline")),
                                 ParseBool(child->GetAttributeValue(L"italic")),
                                 ParseBool(child->GetAttributeValue(L"default")));
            } else if (name == L"Default") {
                if (manager)
                    manager->AddDefaultAttributeList(child->GetAttributeValue(L"name"),
                                                     child->GetAttributeValue(L"value"));
            } else if (controlNode) {
                Fail(L"<Window> holds more than one root control", child->GetLine());
                return nullptr;
            } else {
                controlNode = child.get();
            }
        }
        if (!controlNode) {
            Fail(L"<Window> holds no control", root->GetLine());
            return nullptr;
        }
    }
    CControlUI* control = BuildControl(*controlNode, callback, manager);
    if (!control) return nullptr;
    CContainerUI* container = ControlCast<CContainerUI>(parent);
    if (parent) {
        if (!container || !container->Add(control)) {
            delete control;
            Fail(L"the parent control cannot hold the layout", controlNode->GetLine());
            return nullptr;
        }
    } else if (manager) {
        control->SetManager(manager, nullptr, true);
    }
    return control;
}

}  // namespace DuiLib
