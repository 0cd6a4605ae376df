// ZENTO_Language.dll: a language file read into a key → text table per
// handle. The format is described in ZENTO_Language.h.
//
// Built the way the maker builds the real library: for Microsoft's C++ ABI,
// so its four functions are exported under that compiler's decorations, not
// under a list of names we typed. No C or C++ runtime exists for that target
// here, so the library stands on Win32 alone: process-heap memory, a slim
// reader/writer lock, and a plain array of entries (a language file has a
// few hundred keys).
#define ZENTO_LANGUAGE_BUILD
#include "Utils/ZENTO_Language.h"

#include "MsvcWin32.h"

namespace {

void* Allocate(SIZE_T bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
void Free(void* memory)
{
    if (memory) HeapFree(GetProcessHeap(), 0, memory);
}

class Lock {
public:
    explicit Lock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~Lock() { ReleaseSRWLockExclusive(&m_lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    SRWLOCK& m_lock;
};

struct Entry {
    char* key;
    wchar_t* text;
    int length;
};

// Entries of one loaded file; a later line of the same key replaces the text.
struct Table {
    Entry* entries = nullptr;
    int count = 0;
    int capacity = 0;

    void Clear()
    {
        for (int i = 0; i < count; ++i) {
            Free(entries[i].key);
            Free(entries[i].text);
        }
        Free(entries);
        entries = nullptr;
        count = capacity = 0;
    }

    const Entry* Find(const char* key) const
    {
        for (int i = 0; i < count; ++i) {
            const char* a = entries[i].key;
            const char* b = key;
            while (*a && *a == *b) ++a, ++b;
            if (*a == *b) return &entries[i];
        }
        return nullptr;
    }

    // Takes ownership of key and text whatever the outcome.
    bool Put(char* key, wchar_t* text, int length)
    {
        if (Entry* existing = const_cast<Entry*>(Find(key))) {
            Free(key);
            Free(existing->text);
            existing->text = text;
            existing->length = length;
            return true;
        }
        if (count == capacity) {
            const int grown = capacity ? capacity * 2 : 128;
            auto* bigger = static_cast<Entry*>(Allocate(sizeof(Entry) * static_cast<SIZE_T>(grown)));
            if (!bigger) {
                Free(key);
                Free(text);
                return false;
            }
            for (int i = 0; i < count; ++i) bigger[i] = entries[i];
            Free(entries);
            entries = bigger;
            capacity = grown;
        }
        entries[count++] = Entry{key, text, length};
        return true;
    }
};

struct LanguageHandle {
    LanguageHandle* next = nullptr;
    SRWLOCK lock = {};
    Table table;
};

SRWLOCK g_handlesLock = {};
LanguageHandle* g_handles = nullptr;

LanguageHandle* Live(ZENTO_LANG_HANDLE handle)
{
    Lock guard(g_handlesLock);
    for (LanguageHandle* h = g_handles; h; h = h->next)
        if (h == handle) return h;
    return nullptr;
}

// The file's bytes (a terminating zero beyond size), or an error result.
int ReadWholeFile(const wchar_t* path, char*& bytes, int& size)
{
    bytes = nullptr;
    size = 0;
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return ZENTO_LANG_ERR_OPEN;
    int result = ZENTO_LANG_OK;
    long long length = 0;
    if (!GetFileSizeEx(f, &length)) {
        result = ZENTO_LANG_ERR_OPEN;
    } else if (length > static_cast<long long>(ZENTO_LANGUAGE_MAX_FILE_BYTES)) {
        result = ZENTO_LANG_ERR_NOT_TEXT;
    } else if (!(bytes = static_cast<char*>(Allocate(static_cast<SIZE_T>(length) + 1)))) {
        result = ZENTO_LANG_ERR_NOT_TEXT;
    } else {
        DWORD done = 0;
        while (done < static_cast<DWORD>(length)) {
            DWORD got = 0;
            if (!ReadFile(f, bytes + done, static_cast<DWORD>(length) - done, &got, nullptr)) {
                result = ZENTO_LANG_ERR_OPEN;
                break;
            }
            if (got == 0) break;
            done += got;
        }
        size = static_cast<int>(done);
    }
    CloseHandle(f);
    if (result != ZENTO_LANG_OK) {
        Free(bytes);
        bytes = nullptr;
    }
    return result;
}

// The file as wide text (owned, terminated); false for data that is no text.
bool Decode(const char* b, int size, wchar_t*& text, int& length)
{
    text = nullptr;
    length = 0;
    const auto byte = [b](int i) { return static_cast<unsigned char>(b[i]); };
    if (size >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        text = static_cast<wchar_t*>(Allocate(sizeof(wchar_t) * static_cast<SIZE_T>(size / 2 + 1)));
        if (!text) return false;
        for (int i = 2; i + 1 < size; i += 2)
            text[length++] = static_cast<wchar_t>(little ? (byte(i) | (byte(i + 1) << 8)) : ((byte(i) << 8) | byte(i + 1)));
        return true;
    }
    const int start = size >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF ? 3 : 0;
    for (int i = start; i < size; ++i)
        if (b[i] == '\0') return false;
    // Invalid sequences (a file cut inside a character) become U+FFFD; the
    // rest of the file still counts.
    const int n = size > start ? MultiByteToWideChar(CP_UTF8, 0, b + start, size - start, nullptr, 0) : 0;
    if (size > start && n <= 0) return false;
    text = static_cast<wchar_t*>(Allocate(sizeof(wchar_t) * static_cast<SIZE_T>(n + 1)));
    if (!text) return false;
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, b + start, size - start, text, n);
    length = n;
    return true;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == 0xFEFF; }

// \n, \t and \\ become what they name; any other backslash stays.
wchar_t* Unescape(const wchar_t* raw, int n, int& length)
{
    auto* out = static_cast<wchar_t*>(Allocate(sizeof(wchar_t) * static_cast<SIZE_T>(n + 1)));
    length = 0;
    if (!out) return nullptr;
    for (int i = 0; i < n; ++i) {
        if (raw[i] == L'\\' && i + 1 < n) {
            const wchar_t next = raw[i + 1];
            if (next == L'n' || next == L't' || next == L'\\') {
                out[length++] = next == L'n' ? L'\n' : next == L't' ? L'\t' : L'\\';
                ++i;
                continue;
            }
        }
        out[length++] = raw[i];
    }
    return out;
}

char* KeyToNarrow(const wchar_t* key, int n)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, key, n, nullptr, 0, nullptr, nullptr);
    auto* out = static_cast<char*>(Allocate(static_cast<SIZE_T>(bytes > 0 ? bytes : 0) + 1));
    if (out && bytes > 0) WideCharToMultiByte(CP_UTF8, 0, key, n, out, bytes, nullptr, nullptr);
    return out;
}

bool Parse(const wchar_t* text, int size, Table& table)
{
    int pos = 0;
    while (pos < size) {
        int end = pos;
        while (end < size && text[end] != L'\n') ++end;
        const wchar_t* line = text + pos;
        int n = end - pos;
        pos = end + 1;
        if (n > 0 && line[n - 1] == L'\r') --n;
        int first = 0;
        while (first < n && IsBlank(line[first])) ++first;
        if (first == n || line[first] == L'#' || line[first] == L';') continue;
        int eq = first;
        while (eq < n && line[eq] != L'=') ++eq;
        if (eq == n) continue;
        int keyEnd = eq;
        while (keyEnd > first && IsBlank(line[keyEnd - 1])) --keyEnd;
        if (keyEnd == first) continue;
        char* key = KeyToNarrow(line + first, keyEnd - first);
        int length = 0;
        wchar_t* value = Unescape(line + eq + 1, n - eq - 1, length);
        if (!key || !value) {
            Free(key);
            Free(value);
            return false;
        }
        if (!table.Put(key, value, length)) return false;
    }
    return true;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, void*) { return 1; }

ZENTO_LANGUAGE_API ZENTO_LANG_HANDLE __cdecl ZENTO_Language_CreateLanguageHandle()
{
    // Zeroed memory is exactly a fresh handle (null links, an unlocked lock,
    // an empty table).
    auto* handle = static_cast<LanguageHandle*>(Allocate(sizeof(LanguageHandle)));
    if (!handle) return nullptr;
    Lock guard(g_handlesLock);
    handle->next = g_handles;
    g_handles = handle;
    return handle;
}

ZENTO_LANGUAGE_API int __cdecl ZENTO_Language_LoadLang(ZENTO_LANG_HANDLE handle, const wchar_t* path)
{
    LanguageHandle* live = Live(handle);
    if (!live || !path || !*path) return ZENTO_LANG_ERR_ARGUMENT;
    char* bytes = nullptr;
    int size = 0;
    int result = ReadWholeFile(path, bytes, size);
    if (result != ZENTO_LANG_OK) return result;
    wchar_t* text = nullptr;
    int length = 0;
    Table loaded;
    const bool ok = Decode(bytes, size, text, length) && Parse(text, length, loaded);
    Free(bytes);
    Free(text);
    if (!ok) {
        loaded.Clear();
        return ZENTO_LANG_ERR_NOT_TEXT;
    }
    {
        Lock guard(live->lock);
        Table old = live->table;
        live->table = loaded;
        loaded = old;
    }
    loaded.Clear();
    return ZENTO_LANG_OK;
}

ZENTO_LANGUAGE_API int __cdecl ZENTO_Language_GetValue(ZENTO_LANG_HANDLE handle, const char* key,
                                                       wchar_t* buffer, int size)
{
    if (!buffer || size < 1) return ZENTO_LANG_ERR_ARGUMENT;
    buffer[0] = L'\0';
    LanguageHandle* live = Live(handle);
    if (!live || !key) return ZENTO_LANG_ERR_ARGUMENT;
    Lock guard(live->lock);
    const Entry* entry = live->table.Find(key);
    if (!entry) return ZENTO_LANG_NO_KEY;
    int n = entry->length <= size - 1 ? entry->length : size - 1;
    // Never end on the first half of a surrogate pair.
    if (n < entry->length && n > 0 && entry->text[n - 1] >= 0xD800 && entry->text[n - 1] <= 0xDBFF) --n;
    for (int i = 0; i < n; ++i) buffer[i] = entry->text[i];
    buffer[n] = L'\0';
    return n == entry->length ? ZENTO_LANG_OK : ZENTO_LANG_TRUNCATED;
}

ZENTO_LANGUAGE_API void __cdecl ZENTO_Language_ReleaseLanguageHandle(ZENTO_LANG_HANDLE handle)
{
    LanguageHandle* found = nullptr;
    {
        Lock guard(g_handlesLock);
        for (LanguageHandle** link = &g_handles; *link; link = &(*link)->next) {
            if (*link == handle) {
                found = *link;
                *link = found->next;
                break;
            }
        }
    }
    if (!found) return;
    found->table.Clear();
    Free(found);
}
