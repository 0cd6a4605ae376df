// Whether another plug-in of the host is installed, from the host's plug-in
// state: the answer "Install" in any letter case means yes.
#pragma once

bool IsHostPluginInstalled(const wchar_t* pluginId);
