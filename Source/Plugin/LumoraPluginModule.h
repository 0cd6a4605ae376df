// The module object the host takes with GetPluginModule: it loads the
// language strings, switches the logger on and creates the view.
#pragma once

#include "Plugin/HostInterfaces.h"
#include "Plugin/LumoraPluginView.h"

class CLumoraPluginModule final : public IPluginModule {
public:
    CLumoraPluginModule(IPluginHost* host, HINSTANCE instance);
    ~CLumoraPluginModule();
    CLumoraPluginModule(const CLumoraPluginModule&) = delete;
    CLumoraPluginModule& operator=(const CLumoraPluginModule&) = delete;

    long GetIntegerA() noexcept override { return m_integerA_; }
    BSTR GetName() noexcept override { return m_name_; }
    long GetIntegerB() noexcept override { return m_integerB_; }
    long Initialize() override;         // guarded: 0 whatever happens inside
    long Release() noexcept override;  // frees the object

    CLumoraPluginView& View() { return m_view_; }

private:
    IPluginHost* m_host_;  // borrowed
    CLumoraPluginView m_view_;
    long m_integerA_ = 1;
    BSTR m_name_;
    long m_integerB_ = 0;
};
