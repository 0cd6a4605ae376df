// Base of the plug-in's windows that live on the toolkit's own window class
// instead of the framework (the change-PIN dialog and the small menus): a
// frameless window whose client area is a control tree built from one skin
// file, with every message offered to the paint manager first.
#pragma once

#include <windows.h>

#include <string>

#include "DuiLib/DuiLib.h"

class CToolkitWnd : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
public:
    CToolkitWnd() = default;
    ~CToolkitWnd() override = default;

    DuiLib::CPaintManagerUI& GetPaintManager() { return m_pm_; }
    void Notify(DuiLib::TNotifyUI&) override {}

protected:
    virtual std::wstring GetSkinFile() const = 0;
    // After the tree is built and installed: subscribe handlers, set texts.
    virtual void OnSkinBuilt() {}
    // Messages a window looks at before the paint manager; true when handled.
    virtual bool OnWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    // Finds a control of class T by name; null when missing or of another kind.
    template <class T>
    T* FindControlAs(const wchar_t* name)
    {
        return DuiLib::ControlCast<T>(m_pm_.FindControl(name));
    }
    void SetControlText(const wchar_t* name, const char* languageKey);

    DuiLib::CPaintManagerUI m_pm_;
    // True once WM_CREATE succeeded. A window whose creation failed still
    // gets its final message, while its creator is still holding the object.
    bool m_created_ = false;

private:
    LRESULT OnCreate();
};
