// Controls that hold controls: the plain container (children fill its inner
// area), the vertical and horizontal layouts (children stacked, fixed sizes
// kept, the rest shared) and the tab layout (one child shown at a time).
#pragma once

#include <vector>

#include "DuiLib/UIControl.h"

namespace DuiLib {

class CContainerUI : public CControlUI {
public:
    static constexpr const wchar_t* kInterface = L"Container";

    CContainerUI() = default;
    ~CContainerUI() override;

    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;

    int GetCount() const { return static_cast<int>(m_items.size()); }
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* control) const;
    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    // Removing destroys the control (after the message being handled).
    virtual bool Remove(CControlUI* control);
    virtual bool RemoveAt(int index);
    virtual void RemoveAll();

    const RECT& GetInset() const { return m_rcInset; }
    void SetInset(RECT rc);
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int padding);
    bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
    void SetMouseChildEnabled(bool enabled) { m_bMouseChildEnabled = enabled; }

    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetPos(RECT rc) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    CControlUI* FindControl(const std::function<bool(CControlUI*)>& match, UINT flags) override;
    CControlUI* FindControlAt(POINT pt) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    // The area inside the inset.
    RECT GetInnerRect() const;
    void SetFloatPos(CControlUI* child, const RECT& inner);
    void DestroyItem(CControlUI* control);

    std::vector<CControlUI*> m_items;
    RECT m_rcInset = {0, 0, 0, 0};
    int m_iChildPadding = 0;
    bool m_bMouseChildEnabled = true;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    static constexpr const wchar_t* kInterface = L"VerticalLayout";
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;
    void SetPos(RECT rc) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

    // With "vscrollbar", children that do not fit scroll with the mouse
    // wheel (stretching children then get no height); pixels.
    bool IsVScrollEnabled() const { return m_bVScroll; }
    int GetScrollPos() const { return m_iScrollPos; }
    int GetScrollRange() const { return m_iScrollRange; }
    void SetScrollPos(int pos);
    // Scrolls so that a descendant shows whole (as far as it fits); the
    // keyboard focus moving down a long list must not leave it behind.
    void EnsureVisible(CControlUI* descendant);

private:
    bool m_bVScroll = false;
    int m_iScrollPos = 0;
    int m_iScrollRange = 0;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    static constexpr const wchar_t* kInterface = L"HorizontalLayout";
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;
    void SetPos(RECT rc) override;
};

class CTabLayoutUI : public CContainerUI {
public:
    static constexpr const wchar_t* kInterface = L"TabLayout";
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    // Shows page `index`; false when there is no such page.
    bool SelectItem(int index);
    bool SelectItem(CControlUI* control);
    void SetPos(RECT rc) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

private:
    void ShowOnly(int index);
    int m_iCurSel = -1;
    int m_iInitialSel = 0;
};

}  // namespace DuiLib
