// Every visible text by key: the host language's .lng file first, the built-in
// default when the file has no (or an empty) text for the key.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

// Fills the defaults and loads the file of the host's language (1033 when
// that language has no file). Called once by the module before any window.
void LoadLanguageFile();
// The same for a given language id; LoadLanguageFile asks the host for it.
void LoadLanguageFileFor(int languageId);
// The language file the texts come from; empty when only the built-in
// defaults are in use.
std::wstring LoadedLanguageFile();
// The text for key; empty when neither the file nor the defaults have one.
std::wstring GetLanguageString(const char* key);
std::wstring GetLanguageString(const std::string& key);
// A language text with its placeholders filled: each "%s" or "%d" in turn
// takes the next argument (numbers are passed as their decimal text) and
// "%%" is one "%". A translation is data, not a format string: a placeholder
// without an argument is left as it stands, so a wrong file cannot make us
// read arguments that are not there.
std::wstring FormatLanguageText(const std::wstring& pattern, std::initializer_list<std::wstring> args);
// <common data>\ZENTO\Tamu\Plugin\CertApp\LumoraPlugin\lang\<id>.lng; empty
// when the common data folder cannot be found.
std::wstring BuildLanguagePath(int languageId);
// What unloading the plug-in does: releases the language handle and empties
// the default table (look-ups are then empty until the next load).
void UnloadLanguageStrings();

struct LanguageDefault {
    const char* key;
    const wchar_t* text;
};
// The built-in texts, in the order the product lists them.
const LanguageDefault* LanguageDefaults(size_t& count);
