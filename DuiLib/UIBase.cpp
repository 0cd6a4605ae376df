// Attribute text parsers and the one place where UTF-8 meets UTF-16.
#include "DuiLib/UIBase.h"

#include <cwctype>

namespace DuiLib {

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && _wcsicmp(a.c_str(), b.c_str()) == 0;
}

std::wstring TrimText(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && iswspace(text[begin])) ++begin;
    while (end > begin && iswspace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool ParseInt(const std::wstring& text, int& value)
{
    std::wstring t = TrimText(text);
    if (t.empty()) return false;
    size_t i = 0;
    bool negative = false;
    if (t[0] == L'+' || t[0] == L'-') {
        negative = t[0] == L'-';
        i = 1;
    }
    if (i >= t.size()) return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < L'0' || t[i] > L'9') return false;
        v = v * 10 + (t[i] - L'0');
        if (v > 0x7FFFFFFFLL + 1) return false;
    }
    if (negative) v = -v;
    if (v > 0x7FFFFFFFLL || v < -0x80000000LL) return false;
    value = static_cast<int>(v);
    return true;
}

int ReadLeadingInt(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long v = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        v = v * 10 + (text[i] - L'0');
        if (v > 0x80000000LL) break;
    }
    if (negative) v = -v;
    if (v > 0x7FFFFFFFLL) v = 0x7FFFFFFFLL;
    if (v < -0x80000000LL) v = -0x80000000LL;
    return static_cast<int>(v);
}

int ParseIntList(const std::wstring& text, int* values, int count)
{
    for (int i = 0; i < count; ++i) values[i] = 0;
    int read = 0;
    size_t pos = 0;
    while (read < count && pos <= text.size()) {
        size_t comma = text.find(L',', pos);
        std::wstring part = text.substr(pos, comma == std::wstring::npos ? std::wstring::npos : comma - pos);
        int v = 0;
        if (!ParseInt(part, v)) break;
        values[read++] = v;
        if (comma == std::wstring::npos) break;
        pos = comma + 1;
    }
    return read;
}

RECT ParseRect(const std::wstring& text)
{
    int v[4];
    ParseIntList(text, v, 4);
    RECT rc = {v[0], v[1], v[2], v[3]};
    return rc;
}

SIZE ParseSize(const std::wstring& text)
{
    int v[2];
    ParseIntList(text, v, 2);
    SIZE sz = {v[0], v[1]};
    return sz;
}

bool ParseBool(const std::wstring& text)
{
    std::wstring t = TrimText(text);
    return EqualsNoCase(t, L"true") || t == L"1";
}

bool ParseColor(const std::wstring& text, DWORD& argb)
{
    std::wstring t = TrimText(text);
    if (!t.empty() && t[0] == L'#') {
        t = t.substr(1);
    } else if (t.size() > 2 && t[0] == L'0' && (t[1] == L'x' || t[1] == L'X')) {
        t = t.substr(2);
    } else {
        return false;
    }
    if (t.size() != 6 && t.size() != 8) return false;
    DWORD v = 0;
    for (wchar_t c : t) {
        int d;
        if (c >= L'0' && c <= L'9')
            d = c - L'0';
        else if (c >= L'a' && c <= L'f')
            d = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F')
            d = c - L'A' + 10;
        else
            return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    if (t.size() == 6) v |= 0xFF000000u;
    argb = v;
    return true;
}

std::wstring MultiByteToWide(UINT codePage, const std::string& text)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string WideToMultiByte(UINT codePage, const std::wstring& text)
{
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Utf8ToWide(const std::string& text)
{
    return MultiByteToWide(CP_UTF8, text);
}

std::string WideToUtf8(const std::wstring& text)
{
    return WideToMultiByte(CP_UTF8, text);
}

}  // namespace DuiLib
