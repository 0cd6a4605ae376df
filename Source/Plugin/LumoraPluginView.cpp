// View creation and teardown inside the host's container.
#include "Plugin/LumoraPluginView.h"

#include "Framework/Wnd.h"

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
    Framework::ScopedModuleState moduleState(m_moduleInstance_);
    if (!host) return -1;
    IPluginObject* container = nullptr;
    host->QueryPluginObject(HostGuids::ViewContainer, &container);
    if (!container) return -1;
    m_container_ = static_cast<IPluginViewContainer*>(container);

    // The main window is not part of this build yet: without it there is
    // nothing to attach, and the host must hear that the view failed.
    return -1;
}

void CLumoraPluginView::Release() { Teardown(); }

void CLumoraPluginView::Teardown()
{
    if (m_frameWindow_ && IsWindow(m_frameWindow_)) DestroyWindow(m_frameWindow_);
    m_frameWindow_ = nullptr;
    if (m_titleBstr_ && m_titleBstr_ != SharedEmptyString()) SysFreeString(m_titleBstr_);
    m_titleBstr_ = SharedEmptyString();
    m_frame_ = nullptr;
    m_title_.clear();
}
