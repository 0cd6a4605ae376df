// Narrow/wide conversions of the plug-in, over the toolkit's one
// implementation; see StringConvert.h.
#include "Utils/StringConvert.h"

#include <windows.h>

#include "DuiLib/UIBase.h"

namespace {
using DuiLib::MultiByteToWide;
using DuiLib::WideToMultiByte;
}  // namespace

std::string WideToUtf8(const std::wstring& text)
{
    return WideToMultiByte(CP_UTF8, text);
}
std::wstring Utf8ToWide(const std::string& text)
{
    return MultiByteToWide(CP_UTF8, text);
}
std::wstring AnsiToWide(const std::string& text)
{
    return MultiByteToWide(CP_ACP, text);
}
std::string WideToAnsi(const std::wstring& text)
{
    return WideToMultiByte(CP_ACP, text);
}
std::string AnsiToUtf8(const std::string& text)
{
    return WideToUtf8(AnsiToWide(text));
}
