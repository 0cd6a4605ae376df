// View creation and teardown inside the host's container.
#include "Plugin/LumoraPluginView.h"

#include "DuiLib/BoundaryGuard.h"
#include "Framework/Wnd.h"
#include "UI/UIWnd.h"

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
    return DuiLib::GuardBoundary("CLumoraPluginView::Create", -1L, [this, host] {
        Framework::ScopedModuleState moduleState(m_moduleInstance_);
        if (!host) return -1L;
        IPluginObject* container = nullptr;
        host->QueryPluginObject(HostGuids::ViewContainer, &container);
        if (!container) return -1L;
        m_container_ = static_cast<IPluginViewContainer*>(container);

        // The main window is not part of this build yet: without it there is
        // nothing to attach, and the host must hear that the view failed.
        return -1L;
    });
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
