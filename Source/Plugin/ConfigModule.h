// The settings-page object the host's settings dialog asks for: it creates
// the page window under the dialog, answers the page window and the
// plug-in's identifier, and is released (and freed) by the host.
#pragma once

#include "Plugin/HostInterfaces.h"

class CUIConfigModuleWnd;

class CConfigModule final : public IApplicationConfigModule {
public:
    static constexpr const wchar_t* kPluginId = L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972";

    CConfigModule();

    long Create(IPluginHost* host) override;         // slot 0: answers 1
    void Release() override;                         // slot 1: forgets the page, destroys and frees
    HWND GetPageWindow() override;                   // slot 2
    long CreatePage(HWND parent) override;           // slot 3: -1 while a page object exists
    BSTR GetIdentifier() override;                   // slot 4: we keep ownership
    void ResetIdentifier(long keep) override;        // slot 5: 0 clears it
    void* DestroySelf(unsigned int flags) override;  // slot 6: destructor, bit 0 frees

    // The page window object, null when there is none (or it has gone).
    CUIConfigModuleWnd* GetPage() const { return m_pageWnd_; }

private:
    ~CConfigModule();
    void ForgetPage();

    CUIConfigModuleWnd* m_pageWnd_ = nullptr;
    BSTR m_identifier_ = nullptr;
};
