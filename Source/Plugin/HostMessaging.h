// Talking to the host's message service: broadcasting a host message and
// registering a window for one; and asking the host about other plug-ins.
#pragma once

#include <windows.h>

#include <functional>

// Asks the host to broadcast the message number (wParam and lParam 0).
void BroadcastHostMessage(UINT number);

// Registers the window for the host message number; false when the host has
// no message service.
bool RegisterHostMessage(HWND window, UINT number);

// Broadcasts the message only when the host has a message service and a
// manager, saying nothing otherwise; true when it was sent. For requests the
// user made, whose view changes only when the host can answer them:
// beforeSend runs once the manager is there and before the broadcast.
bool TryBroadcastHostMessage(UINT number, const std::function<void()>& beforeSend = {});

// True when the host reports the plug-in with that identifier installed
// (state "Install", any letter case).
bool IsHostPluginInstalled(const wchar_t* pluginId);
