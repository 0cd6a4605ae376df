// How the control tree looks to assistive technology (Microsoft Active
// Accessibility): the one place that turns control classes and the "acc*"
// skin attributes into roles, names, values, states and default actions, and
// the window's IAccessible objects built on that, made only when a client
// asks (WM_GETOBJECT) and disconnected when the window goes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

// The spoken names of the default actions; the product sets them from its
// language files, the toolkit's own are English.
struct AccessibleActionTexts {
    std::wstring press = L"Press";
    std::wstring check = L"Check";
    std::wstring uncheck = L"Uncheck";
    std::wstring select = L"Select";
    std::wstring open = L"Open";
};
void SetAccessibleActionTexts(const AccessibleActionTexts& texts);

struct AccessibleDescription {
    long role = 0;  // ROLE_SYSTEM_*
    std::wstring name;
    std::wstring value;
    bool hasValue = false;
    bool valueProtected = false;  // a password: there is a value, nobody may read it
    std::wstring defaultAction;
    DWORD state = 0;  // STATE_SYSTEM_*
};

// False for controls that are no object of their own (layout containers
// without a role, decoration, labels another control speaks for): their
// children stand in their place.
bool IsAccessibleObject(CControlUI* control);
AccessibleDescription DescribeAccessible(CControlUI* control);
// The visible objects under a control, in reading order.
std::vector<CControlUI*> GetAccessibleChildren(CControlUI* control);
// The nearest ancestor that is an object; null when that is the window's
// client object (the root control).
CControlUI* GetAccessibleParent(CControlUI* control);
// A role name of the "accrole" attribute as ROLE_SYSTEM_*; 0 when unknown.
long AccessibleRoleFromName(const std::wstring& name);

// What an object shows of its control: the control itself, or for a combo
// the drop-down list of its items (the list's own window answers for it).
enum class AccessibleView { Control, DropDownList };

// One window's end of MSAA. Made by the paint manager at the first
// WM_GETOBJECT for OBJID_CLIENT; destroying it disconnects every object it
// handed out, so a client that keeps one gets an error instead of a crash.
class CAccessibleHost {
public:
    explicit CAccessibleHost(CPaintManagerUI* manager);
    ~CAccessibleHost();
    CAccessibleHost(const CAccessibleHost&) = delete;
    CAccessibleHost& operator=(const CAccessibleHost&) = delete;

    // The answer to WM_GETOBJECT(OBJID_CLIENT): the window's client object,
    // or the object of `control` for the native child window that shows it.
    LRESULT GetObjectResult(WPARAM wParam, CControlUI* control = nullptr,
                            AccessibleView view = AccessibleView::Control);
    // Runs a default action that a client asked for (posted, so the client
    // is never kept waiting by a dialog the action opens).
    static UINT GetDefaultActionMessage();

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

}  // namespace DuiLib
