// Pointing the UI toolkit at the plug-in's skins, and letting go of its
// process-wide state when the host unloads us.
#pragma once

#include <windows.h>

#include <string>

// Folder of the module (up to and including its last backslash) followed by
// "LumoraPlugin\skin\".
std::wstring SkinFolderForModule(HINSTANCE instance);

void PrepareToolkit(HINSTANCE instance);
// Gives the toolkit the texts it speaks itself (the names of the actions
// screen readers offer) in the language just loaded.
void ApplyToolkitLanguage();
void ReleaseToolkit();
