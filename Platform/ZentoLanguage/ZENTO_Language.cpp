// ZENTO_Language.dll: a language file read into a key → text table per
// handle. The format is described in ZENTO_Language.h.
#define ZENTO_LANGUAGE_BUILD
#include "Utils/ZENTO_Language.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace {

struct LanguageTable {
    std::mutex lock;
    std::map<std::string, std::wstring> texts;
};

std::mutex g_handlesLock;
std::set<LanguageTable*> g_handles;

LanguageTable* Live(ZENTO_LANG_HANDLE handle)
{
    std::lock_guard<std::mutex> guard(g_handlesLock);
    auto* table = static_cast<LanguageTable*>(handle);
    return table && g_handles.count(table) ? table : nullptr;
}

int ReadWholeFile(const wchar_t* path, std::string& bytes)
{
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return ZENTO_LANG_ERR_OPEN;
    int result = ZENTO_LANG_OK;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f, &size)) {
        result = ZENTO_LANG_ERR_OPEN;
    } else if (size.QuadPart > static_cast<LONGLONG>(ZENTO_LANGUAGE_MAX_FILE_BYTES)) {
        result = ZENTO_LANG_ERR_NOT_TEXT;
    } else {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD got = 0;
            if (!ReadFile(f, &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr)) {
                result = ZENTO_LANG_ERR_OPEN;
                break;
            }
            if (got == 0) break;
            done += got;
        }
        bytes.resize(done);
    }
    CloseHandle(f);
    return result;
}

// The file as wide text; false for data that is no text.
bool Decode(const std::string& b, std::wstring& text)
{
    text.clear();
    if (b.size() >= 2 && (b[0] == '\xFF' || b[0] == '\xFE') && (b[1] == '\xFE' || b[1] == '\xFF') &&
        b[0] != b[1]) {
        bool little = b[0] == '\xFF';
        for (size_t i = 2; i + 1 < b.size(); i += 2) {
            unsigned a = static_cast<unsigned char>(b[i]), c = static_cast<unsigned char>(b[i + 1]);
            text += static_cast<wchar_t>(little ? (a | (c << 8)) : ((a << 8) | c));
        }
        return true;
    }
    size_t start = b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (b.find('\0', start) != std::string::npos) return false;
    if (b.size() == start) return true;
    // Invalid sequences (a file cut inside a character) become U+FFFD; the
    // rest of the file still counts.
    int n = MultiByteToWideChar(CP_UTF8, 0, b.data() + start, static_cast<int>(b.size() - start), nullptr, 0);
    if (n <= 0) return false;
    text.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, b.data() + start, static_cast<int>(b.size() - start), &text[0], n);
    return true;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == 0xFEFF;
}

std::wstring Unescape(const std::wstring& raw)
{
    std::wstring out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == L'\\' && i + 1 < raw.size()) {
            wchar_t next = raw[i + 1];
            if (next == L'n' || next == L't' || next == L'\\') {
                out += next == L'n' ? L'\n' : next == L't' ? L'\t' : L'\\';
                ++i;
                continue;
            }
        }
        out += raw[i];
    }
    return out;
}

std::string KeyToNarrow(const std::wstring& key)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, key.data(), static_cast<int>(key.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, key.data(), static_cast<int>(key.size()), &out[0], n, nullptr,
                            nullptr);
    return out;
}

void Parse(const std::wstring& text, std::map<std::string, std::wstring>& texts)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first])) ++first;
        if (first == line.size() || line[first] == L'#' || line[first] == L';') continue;
        size_t eq = line.find(L'=', first);
        if (eq == std::wstring::npos) continue;
        size_t keyEnd = eq;
        while (keyEnd > first && IsBlank(line[keyEnd - 1])) --keyEnd;
        if (keyEnd == first) continue;
        texts[KeyToNarrow(line.substr(first, keyEnd - first))] = Unescape(line.substr(eq + 1));
    }
}

}  // namespace

ZENTO_LANGUAGE_API ZENTO_LANG_HANDLE __cdecl ZENTO_Language_CreateLanguageHandle()
{
    try {
        auto table = std::make_unique<LanguageTable>();
        std::lock_guard<std::mutex> guard(g_handlesLock);
        g_handles.insert(table.get());
        return table.release();
    } catch (...) {
        return nullptr;
    }
}

ZENTO_LANGUAGE_API int __cdecl ZENTO_Language_LoadLang(ZENTO_LANG_HANDLE handle, const wchar_t* path)
{
    LanguageTable* table = Live(handle);
    if (!table || !path || !*path) return ZENTO_LANG_ERR_ARGUMENT;
    try {
        std::string bytes;
        int r = ReadWholeFile(path, bytes);
        if (r != ZENTO_LANG_OK) return r;
        std::wstring text;
        if (!Decode(bytes, text)) return ZENTO_LANG_ERR_NOT_TEXT;
        std::map<std::string, std::wstring> texts;
        Parse(text, texts);
        std::lock_guard<std::mutex> guard(table->lock);
        table->texts.swap(texts);
        return ZENTO_LANG_OK;
    } catch (...) {
        return ZENTO_LANG_ERR_NOT_TEXT;
    }
}

ZENTO_LANGUAGE_API int __cdecl ZENTO_Language_GetValue(ZENTO_LANG_HANDLE handle, const char* key,
                                                       wchar_t* buffer, int size)
{
    if (!buffer || size < 1) return ZENTO_LANG_ERR_ARGUMENT;
    buffer[0] = L'\0';
    LanguageTable* table = Live(handle);
    if (!table || !key) return ZENTO_LANG_ERR_ARGUMENT;
    std::lock_guard<std::mutex> guard(table->lock);
    auto it = table->texts.find(key);
    if (it == table->texts.end()) return ZENTO_LANG_NO_KEY;
    const std::wstring& text = it->second;
    size_t room = static_cast<size_t>(size) - 1;
    size_t n = text.size() <= room ? text.size() : room;
    // Never end on the first half of a surrogate pair.
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    text.copy(buffer, n);
    buffer[n] = L'\0';
    return n == text.size() ? ZENTO_LANG_OK : ZENTO_LANG_TRUNCATED;
}

ZENTO_LANGUAGE_API void __cdecl ZENTO_Language_ReleaseLanguageHandle(ZENTO_LANG_HANDLE handle)
{
    LanguageTable* table = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_handlesLock);
        auto* candidate = static_cast<LanguageTable*>(handle);
        if (!candidate || g_handles.erase(candidate) == 0) return;
        table = candidate;
    }
    delete table;
}
