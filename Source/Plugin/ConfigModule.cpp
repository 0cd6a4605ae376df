// The settings-page object; see ConfigModule.h.
#include "Plugin/ConfigModule.h"

#include <new>

#include "DuiLib/BoundaryGuard.h"
#include "Framework/Wnd.h"
#include "Plugin/PluginEntry.h"
#include "UI/UIConfigModuleWnd.h"

using DuiLib::GuardBoundary;
using DuiLib::GuardBoundaryVoid;

CConfigModule::CConfigModule() : m_identifier_(::SysAllocString(kPluginId)) {}

CConfigModule::~CConfigModule()
{
    ForgetPage();
    if (m_identifier_) ::SysFreeString(m_identifier_);
    m_identifier_ = nullptr;
}

void CConfigModule::ForgetPage()
{
    if (!m_pageWnd_) return;
    CUIConfigModuleWnd* page = m_pageWnd_;
    m_pageWnd_ = nullptr;
    if (page->GetSafeHwnd() && ::IsWindow(page->GetSafeHwnd())) {
        // The window stays with the host's dialog and frees itself with it;
        // it must no longer clear a pointer inside this object.
        page->SetOwnerLink(nullptr);
    } else {
        // A page whose window was never made gets no final message.
        delete page;
    }
}

long CConfigModule::Create(IPluginHost*)
{
    return 1;
}

void CConfigModule::Release()
{
    GuardBoundaryVoid("CConfigModule::Release", [&] {
        ForgetPage();
        DestroySelf(1);
    });
}

HWND CConfigModule::GetPageWindow()
{
    return m_pageWnd_ ? m_pageWnd_->GetSafeHwnd() : nullptr;
}

long CConfigModule::CreatePage(HWND parent)
{
    return GuardBoundary("CConfigModule::CreatePage", 1L, [&]() -> long {
        if (m_pageWnd_) return -1;
        Framework::ScopedModuleState moduleState(PluginEntry::ModuleInstance());
        m_pageWnd_ = new CUIConfigModuleWnd();
        m_pageWnd_->SetOwnerLink(&m_pageWnd_);
        // A page that cannot be made is not a failure the host hears about:
        // the window query then answers null.
        (void)m_pageWnd_->CreateWnd(CWnd::FromHandle(parent));
        return 1;
    });
}

BSTR CConfigModule::GetIdentifier()
{
    return m_identifier_;
}

void CConfigModule::ResetIdentifier(long keep)
{
    if (keep != 0) return;
    if (m_identifier_) ::SysFreeString(m_identifier_);
    m_identifier_ = nullptr;
}

void* CConfigModule::DestroySelf(unsigned int flags)
{
    this->~CConfigModule();
    if (flags & 1) ::operator delete(static_cast<void*>(this));
    return this;
}
