// The plug-in's view as the host sees it: it finds the host's view container,
// owns the main window and hands itself to the container.
#pragma once

#include <memory>
#include <string>

#include "Plugin/HostInterfaces.h"

class CUIMainFrame;

class CLumoraPluginView final : public IPluginView {
public:
    explicit CLumoraPluginView(HINSTANCE instance);
    ~CLumoraPluginView();
    CLumoraPluginView(const CLumoraPluginView&) = delete;
    CLumoraPluginView& operator=(const CLumoraPluginView&) = delete;

    long Create(IPluginHost* host) override;  // 0 on success, -1 on failure
    void Release() override;                  // teardown; storage belongs to the module
    long GetAttachResult() override { return m_attachResult_; }
    long GetIntegerA() override { return m_integerA_; }
    HINSTANCE GetInstance() override { return m_instance_; }
    HWND GetWindow() override { return m_frameWindow_; }
    long GetIntegerB() override { return m_integerB_; }
    BSTR GetTitle() override { return m_titleBstr_; }
    BYTE GetFlag() override { return m_flag_; }
    long OperationA(long, long) override { return 0; }
    long OperationB(long, long) override { return 0; }

    void Teardown();
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
    std::unique_ptr<CUIMainFrame> m_frame_;
    long m_attachResult_ = 0;
    long m_integerA_ = 1;
    HINSTANCE m_instance_ = nullptr;  // reported once the view is created
    HINSTANCE m_moduleInstance_;
    HWND m_frameWindow_ = nullptr;
    long m_integerB_ = 0;
    BSTR m_titleBstr_;
    BYTE m_flag_ = 0;
};
