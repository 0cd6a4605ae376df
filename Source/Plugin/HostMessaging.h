// Talking to the host's message service: broadcasting a host message and
// registering a window for one.
#pragma once

#include <windows.h>

// Asks the host to broadcast the message number (wParam and lParam 0).
void BroadcastHostMessage(UINT number);

// Registers the window for the host message number; false when the host has
// no message service.
bool RegisterHostMessage(HWND window, UINT number);

// True when the host reports the plug-in with that identifier installed
// (state "Install", any letter case).
bool IsHostPluginInstalled(const wchar_t* pluginId);
