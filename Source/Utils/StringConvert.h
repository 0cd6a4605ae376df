// Conversions between the plug-in's wide texts and the narrow texts at its
// edges (UTF-8 for libraries and files, the system code page for old APIs).
// Every such conversion goes through here.
#pragma once

#include <string>

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
// System code page text re-encoded as UTF-8.
std::string AnsiToUtf8(const std::string& text);
