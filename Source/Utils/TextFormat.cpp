// Safe filling of language texts; see TextFormat.h.
#include "Utils/TextFormat.h"

namespace {

std::wstring FillFirstField(const std::wstring& format, const std::wstring& value)
{
    std::wstring out;
    out.reserve(format.size() + value.size());
    bool filled = false;
    for (size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const wchar_t next = format[i + 1];
        if (next == L'%') {
            out += L'%';
            ++i;
        } else if (!filled && (next == L'd' || next == L's')) {
            out += value;
            filled = true;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::wstring FormatTextWithNumber(const std::wstring& format, int number)
{
    return FillFirstField(format, std::to_wstring(number));
}

std::wstring FormatTextWithText(const std::wstring& format, const std::wstring& text)
{
    return FillFirstField(format, text);
}
