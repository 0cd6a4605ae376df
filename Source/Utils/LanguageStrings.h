// Every visible text by key: the host language's .lng file first, the built-in
// default when the file has no (or an empty) text for the key.
#pragma once

#include <string>

void LoadLanguageFile();
std::wstring GetLanguageString(const char* key);
std::wstring BuildLanguagePath(int languageId);
