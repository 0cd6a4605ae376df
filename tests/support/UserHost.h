// The real plug-in as a user meets it: our host started with the DLL beside
// the test program, its device service watching a token store, its window
// shown and active before the DLL is loaded and told of the keys. Header
// only: the host library is linked by the suites that use it, not by every
// suite that links the support library.
#pragma once

#include <memory>
#include <string>

#include "HostTokenStore.h"
#include "KeyInput.h"
#include "TamuHost.h"

namespace testsupport {

// False at the first step that fails; what was made so far stays in
// `host` and `devices` for the caller's teardown.
inline bool StartHostWithPlugin(int languageId, const std::wstring& store, std::unique_ptr<tamu::Host>& host,
                                std::unique_ptr<tamu::TokenStoreDevices>& devices)
{
    tamu::HostOptions options;
    options.languageId = languageId;
    options.pluginPath = tamu::BesideProgram(L"LumoraPlugin.dll");
    host = std::make_unique<tamu::Host>(options);
    if (!host->Start()) return false;
    devices = std::make_unique<tamu::TokenStoreDevices>(*host, store);
    if (!keyinput::Activate(host->MainWindow()) || !host->LoadPlugin()) return false;
    host->NotifyDeviceSetChanged();
    return true;
}

}  // namespace testsupport
