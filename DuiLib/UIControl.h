// The windowless control: a rectangle in the tree of one window, with its
// state flags, skin attributes, painting and event handling. Every concrete
// control class derives from CControlUI.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "DuiLib/UIBase.h"

namespace DuiLib {

// Control state bits used while painting.
enum : UINT {
    UISTATE_FOCUSED = 0x01,
    UISTATE_SELECTED = 0x02,
    UISTATE_DISABLED = 0x04,
    UISTATE_HOT = 0x08,
    UISTATE_PUSHED = 0x10,
    UISTATE_CAPTURED = 0x40,
};

// Flags for FindControl.
enum : UINT {
    UIFIND_ALL = 0x00,
    UIFIND_VISIBLE = 0x01,
    UIFIND_ENABLED = 0x02,
};

class CControlUI {
public:
    static constexpr const wchar_t* kInterface = L"Control";

    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // ---- Identity and run-time class check ----------------------------------
    virtual std::wstring GetClass() const;
    // `this` (adjusted to the asked class) when the control is of the class
    // with that interface name, null otherwise.
    virtual void* GetInterface(const std::wstring& name);

    const std::wstring& GetName() const { return m_sName; }
    void SetName(const std::wstring& name) { m_sName = name; }
    virtual std::wstring GetText() const { return m_sText; }
    virtual void SetText(const std::wstring& text);
    const std::wstring& GetToolTip() const { return m_sToolTip; }
    void SetToolTip(const std::wstring& text) { m_sToolTip = text; }
    const std::wstring& GetUserData() const { return m_sUserData; }
    void SetUserData(const std::wstring& text) { m_sUserData = text; }
    UINT_PTR GetTag() const { return m_pTag; }
    void SetTag(UINT_PTR tag) { m_pTag = tag; }

    // ---- Tree -----------------------------------------------------------------
    CPaintManagerUI* GetManager() const { return m_pManager; }
    CControlUI* GetParent() const { return m_pParent; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
    // Depth-first search of this control and its descendants.
    virtual CControlUI* FindControl(const std::function<bool(CControlUI*)>& match, UINT flags);
    // The deepest control that takes the mouse at a point (client pixels).
    virtual CControlUI* FindControlAt(POINT pt);
    CControlUI* FindSubControl(const std::wstring& name);

    // ---- State ----------------------------------------------------------------
    // Visible means: shown itself and not inside a hidden container.
    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    bool IsOwnVisible() const { return m_bVisible; }
    bool HasBeenLaidOut() const { return m_bLaidOut; }
    virtual void SetVisible(bool visible = true);
    virtual void SetInternVisible(bool visible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool enabled = true);
    bool IsMouseEnabled() const { return m_bMouseEnabled; }
    void SetMouseEnabled(bool enabled) { m_bMouseEnabled = enabled; }
    bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    void SetKeyboardEnabled(bool enabled) { m_bKeyboardEnabled = enabled; }
    virtual bool IsFocused() const { return m_bFocused; }
    virtual void SetFocus();
    // Called by the paint manager when the focus arrives or leaves.
    virtual void SetFocusState(bool focused);
    bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool isFloat = true);
    // Whether Tab stops here.
    virtual bool IsTabStop() const { return false; }
    // Tab visits lower orders first; equal orders go in tree order ("taborder").
    int GetTabOrder() const { return m_iTabOrder; }

    // ---- Layout: attribute values are at 96 dpi; positions are pixels -------------
    const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc);
    int GetWidth() const { return RectWidth(m_rcItem); }
    int GetHeight() const { return RectHeight(m_rcItem); }
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedHeight(int cy);
    // Fixed sizes scaled to the window's dpi (0: take what the layout gives).
    int GetScaledFixedWidth() const { return Scale(m_cxyFixed.cx); }
    int GetScaledFixedHeight() const { return Scale(m_cxyFixed.cy); }
    const RECT& GetPadding() const { return m_rcPadding; }
    void SetPadding(RECT rc);
    RECT GetScaledPadding() const;
    // Position inside the parent for floating controls ("pos").
    const RECT& GetFloatPos() const { return m_rcFloat; }
    int Scale(int value) const;
    RECT ScaleRect(RECT rc) const;

    // ---- Look -------------------------------------------------------------------
    DWORD GetBkColor() const { return m_dwBkColor; }
    void SetBkColor(DWORD argb);
    const std::wstring& GetBkImage() const { return m_sBkImage; }
    void SetBkImage(const std::wstring& image);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int size);
    SIZE GetBorderRound() const { return m_cxyBorderRound; }
    void SetBorderRound(SIZE round);

    virtual void DoPaint(HDC hDC, const RECT& rcPaint);
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC);
    virtual void PaintText(HDC hDC);
    virtual void PaintBorder(HDC hDC);
    // A thin filled control (1 or 2 px at 96 dpi): a divider line.
    bool IsRule() const;
    // A floating control that holds no others: a shape of an icon drawn in colours.
    bool IsIconShape();
    // Draws an image description into this control's rectangle; false when
    // the image cannot be drawn (missing file), which is not an error.
    bool DrawImage(HDC hDC, const std::wstring& image);

    void Invalidate();
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    void NeedUpdate();
    void NeedParentUpdate();

    // ---- Behaviour ----------------------------------------------------------------
    // Events from the paint manager; what a control does not use goes up to
    // its parent.
    virtual void DoEvent(TEventUI& event);
    // The control's action ("click" for buttons); false when it cannot act.
    virtual bool Activate();
    // What Enter and assistive technology do with the control: Activate(),
    // or with defaultaction="dbclick" the same notification a double click
    // sends (a row whose double click opens something).
    bool DoDefaultAction();
    bool IsDefaultActionDoubleClick() const { return m_bDefaultActionDblClick; }

    // ---- Accessibility: what UIAccessible.cpp reads to describe the control ------
    // Explicit name and value (code or the "accname"/"accvalue" attributes);
    // "accrole" overrides the role the class implies ("none" hides the control
    // from assistive technology); "acclabel" and "accvaluefrom" name controls
    // nearby whose texts are the name and the value.
    const std::wstring& GetAccName() const { return AccText(&AccessibleTexts::name); }
    void SetAccName(const std::wstring& name);
    const std::wstring& GetAccValue() const { return AccText(&AccessibleTexts::value); }
    void SetAccValue(const std::wstring& value);
    const std::wstring& GetAccRoleName() const { return AccText(&AccessibleTexts::role); }
    const std::wstring& GetAccLabelFrom() const { return AccText(&AccessibleTexts::labelFrom); }
    const std::wstring& GetAccValueFrom() const { return AccText(&AccessibleTexts::valueFrom); }
    // The id assistive technology knows the control by in its window (made on
    // first use, never reused while the window lives).
    long GetAccId();
    long PeekAccId() const { return m_iAccId; }
    virtual void SetAttribute(const std::wstring& name, const std::wstring& value);
    // A list of name="value" pairs, as in a skin's default attributes.
    void ApplyAttributeList(const std::wstring& list);
    // Called once, when the control first joins a window.
    virtual void DoInit() {}

    // The window adds its member handlers here; they run before the window's
    // notification sinks and may stop them by answering true.
    CEventSource OnNotify;

protected:
    friend class CPaintManagerUI;

    // Most controls carry none of these: they are made only for those that do,
    // so a view of thousands of controls does not pay for them.
    struct AccessibleTexts {
        std::wstring name;
        std::wstring value;
        std::wstring role;
        std::wstring labelFrom;
        std::wstring valueFrom;
    };
    const std::wstring& AccText(std::wstring AccessibleTexts::*field) const;
    std::wstring& AccTextToSet(std::wstring AccessibleTexts::*field);

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    std::wstring m_sName;
    std::wstring m_sText;
    std::wstring m_sToolTip;
    std::wstring m_sUserData;
    UINT_PTR m_pTag = 0;

    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    bool m_bUpdateNeeded = true;
    bool m_bInited = false;
    bool m_bLaidOut = false;  // placed at least once: what changes now, a client is told
    bool m_bDefaultActionDblClick = false;
    int m_iTabOrder = 0;
    long m_iAccId = 0;
    std::unique_ptr<AccessibleTexts> m_pAccTexts;

    RECT m_rcItem = {0, 0, 0, 0};
    RECT m_rcPadding = {0, 0, 0, 0};
    RECT m_rcFloat = {0, 0, 0, 0};
    SIZE m_cxyFixed = {0, 0};
    RECT m_rcPaint = {0, 0, 0, 0};

    DWORD m_dwBkColor = 0;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwFocusBorderColor = 0;
    int m_nBorderSize = 0;
    SIZE m_cxyBorderRound = {0, 0};
    std::wstring m_sBkImage;
    UINT m_uButtonState = 0;
};

// Run-time class check: the control as T when it is one, else null.
template <class T>
T* ControlCast(CControlUI* control)
{
    return control ? static_cast<T*>(control->GetInterface(T::kInterface)) : nullptr;
}

}  // namespace DuiLib
