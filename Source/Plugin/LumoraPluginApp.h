// The plug-in library's application object: the framework needs one per
// module so its windows know their instance handle.
#pragma once

#include "Framework/WinApp.h"

class CLumoraPluginApp final : public CWinApp {
public:
    CLumoraPluginApp();
    BOOL InitInstance() override;
};

// The one instance of the library.
CLumoraPluginApp& LumoraPluginApp();
