// View creation and teardown inside the host's container.
#include "Plugin/LumoraPluginView.h"

#include <new>

#include "DuiLib/BoundaryGuard.h"
#include "Framework/Wnd.h"
#include "UI/UIMainFrame.h"

namespace {
BSTR g_sharedEmpty = nullptr;
}

BSTR CLumoraPluginView::SharedEmptyString()
{
    // One for the plug-in, so a view that was never created can answer its
    // title query and teardown can tell it apart from its own copy.
    if (!g_sharedEmpty) g_sharedEmpty = SysAllocString(L"");
    return g_sharedEmpty;
}

void CLumoraPluginView::ReleaseSharedEmptyString()
{
    SysFreeString(g_sharedEmpty);
    g_sharedEmpty = nullptr;
}

CLumoraPluginView::CLumoraPluginView(HINSTANCE instance)
    : m_moduleInstance_(instance), m_titleBstr_(SharedEmptyString())
{
}

CLumoraPluginView::~CLumoraPluginView() { Teardown(); }

long CLumoraPluginView::Create(IPluginHost* host)
{
    return DuiLib::GuardBoundary("CLumoraPluginView::Create", -1L, [&] { return CreateFrame(host); });
}

long CLumoraPluginView::CreateFrame(IPluginHost* host)
{
    Framework::ScopedModuleState moduleState(m_moduleInstance_);
    if (!host) return -1;
    IPluginObject* container = nullptr;
    host->QueryPluginObject(HostGuids::ViewContainer, &container);
    if (!container) return -1;
    m_container_ = static_cast<IPluginViewContainer*>(container);

    HWND parent = m_container_->GetParentWindow();
    CUIWnd* frame = SetFrame(std::make_unique<CUIMainFrame>());
    if (!frame->CreateWnd(parent ? CWnd::FromHandle(parent) : nullptr)) {
        SetFrame(nullptr);
        return -1;
    }
    ::ShowWindow(frame->GetSafeHwnd(), SW_HIDE);
    ::UpdateWindow(frame->GetSafeHwnd());

    m_title_ = L"证书显示插件";  // the host shows it as the tab title
    m_frameWindow_ = frame->GetSafeHwnd();
    m_instance_ = m_moduleInstance_;
    m_titleBstr_ = SysAllocString(m_title_.c_str());
    if (!m_titleBstr_) throw std::bad_alloc();
    m_attachResult_ = m_container_->AttachView(this);
    return 0;
}

CUIWnd* CLumoraPluginView::SetFrame(std::unique_ptr<CUIWnd> frame) noexcept
{
    Teardown();
    m_frame_ = std::move(frame);
    return m_frame_.get();
}

void CLumoraPluginView::Release() noexcept { Teardown(); }

void CLumoraPluginView::Teardown() noexcept
{
    // The window goes while its object still answers its messages; the
    // object goes after (the frame does not free itself with its window).
    if (m_frame_ && ::IsWindow(m_frame_->GetSafeHwnd())) m_frame_->DestroyWindow();
    m_frame_.reset();
    m_frameWindow_ = nullptr;
    if (m_titleBstr_ && m_titleBstr_ != SharedEmptyString()) SysFreeString(m_titleBstr_);
    m_titleBstr_ = SharedEmptyString();
    m_title_.clear();
}
