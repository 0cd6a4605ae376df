// The application object of the plug-in library.
#include "Plugin/LumoraPluginApp.h"

CLumoraPluginApp::CLumoraPluginApp() : CWinApp(L"LumoraPlugin") {}

BOOL CLumoraPluginApp::InitInstance()
{
    CWinApp::InitInstance();
    return TRUE;
}

CLumoraPluginApp& LumoraPluginApp()
{
    static CLumoraPluginApp app;
    return app;
}
