// The plug-in's view as the host sees it: it finds the host's view container,
// owns the main window and hands itself to the container.
#pragma once

#include <memory>
#include <string>

#include "Plugin/HostInterfaces.h"

class CUIWnd;

class CLumoraPluginView final : public IPluginView {
public:
    explicit CLumoraPluginView(HINSTANCE instance);
    ~CLumoraPluginView();
    CLumoraPluginView(const CLumoraPluginView&) = delete;
    CLumoraPluginView& operator=(const CLumoraPluginView&) = delete;

    long Create(IPluginHost* host) override;   // 0 on success, -1 on failure (also when something throws)
    void Release() noexcept override;          // teardown; storage belongs to the module
    long GetAttachResult() noexcept override { return m_attachResult_; }
    long GetIntegerA() noexcept override { return m_integerA_; }
    HINSTANCE GetInstance() noexcept override { return m_instance_; }
    HWND GetWindow() noexcept override { return m_frameWindow_; }
    long GetIntegerB() noexcept override { return m_integerB_; }
    BSTR GetTitle() noexcept override { return m_titleBstr_; }
    BYTE GetFlag() noexcept override { return m_flag_; }
    long OperationA(long, long) noexcept override { return 0; }
    long OperationB(long, long) noexcept override { return 0; }

    // Destroys the frame's window and the frame, frees the title.
    void Teardown() noexcept;
    // Takes ownership of the main frame object (its window is made after);
    // teardown destroys the window and the object. Returns the frame.
    CUIWnd* SetFrame(std::unique_ptr<CUIWnd> frame) noexcept;
    CUIWnd* Frame() const noexcept { return m_frame_.get(); }
    const std::wstring& Title() const { return m_title_; }
    IPluginViewContainer* Container() const { return m_container_; }

    // The empty host string every view starts with; freed only when the
    // plug-in is released (no view exists then).
    static BSTR SharedEmptyString();
    static void ReleaseSharedEmptyString();

private:
    long CreateFrame(IPluginHost* host);

    IPluginViewContainer* m_container_ = nullptr;  // borrowed from the host
    std::wstring m_title_;
    std::unique_ptr<CUIWnd> m_frame_;  // the main frame (CUIMainFrame), owned
    long m_attachResult_ = 0;
    long m_integerA_ = 1;
    HINSTANCE m_instance_ = nullptr;  // reported once the view is created
    HINSTANCE m_moduleInstance_;
    HWND m_frameWindow_ = nullptr;
    long m_integerB_ = 0;
    BSTR m_titleBstr_;
    BYTE m_flag_ = 0;
};
