// Ostrel: merged reading of INI files and in-place change of one value. The
// file is handled as lines of its original bytes, so a change rewrites only
// the line it touches (or adds one) and every other byte reaches the new file
// unchanged.
#define OSTREL_BUILD
#include "Utils/Ostrel.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Ansi };

struct Line {
    size_t begin = 0;  // first byte of the line
    size_t end = 0;    // end of its text, before CR/LF
    size_t next = 0;   // first byte of the following line
    std::wstring text;
};

struct TextFile {
    std::string bytes;
    Encoding encoding = Encoding::Utf8;
    bool crlf = true;
    std::vector<Line> lines;
};

enum class LineKind { Other, Section, Item };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::wstring name;  // section name or item key
    std::wstring value;
    size_t valueBegin = 0;  // raw value position inside the line text (items only)
    size_t valueEnd = 0;
};

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == 0x3000 || c == 0xFEFF;
}

std::wstring Trim(const std::wstring& s, size_t& from, size_t& to)
{
    while (from < to && IsBlank(s[from])) ++from;
    while (to > from && IsBlank(s[to - 1])) --to;
    return s.substr(from, to - from);
}

std::wstring Trim(const std::wstring& s)
{
    size_t from = 0, to = s.size();
    return Trim(s, from, to);
}

ParsedLine ParseLine(const std::wstring& text)
{
    ParsedLine out;
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    if (first == text.size() || text[first] == L';' || text[first] == L'#') return out;
    if (text[first] == L'[') {
        size_t close = text.find(L']', first + 1);
        if (close == std::wstring::npos) return out;
        size_t from = first + 1, to = close;
        out.name = Trim(text, from, to);
        out.kind = LineKind::Section;
        return out;
    }
    size_t eq = text.find(L'=', first);
    if (eq == std::wstring::npos) return out;
    size_t keyFrom = first, keyTo = eq;
    out.name = Trim(text, keyFrom, keyTo);
    if (out.name.empty()) return out;
    size_t from = eq + 1, to = text.size();
    std::wstring value = Trim(text, from, to);
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        value = value.substr(1, value.size() - 2);
    out.kind = LineKind::Item;
    out.value = value;
    out.valueBegin = from;
    out.valueEnd = to;
    return out;
}

// UTF-8 check that forgives one incomplete sequence at the very end, so a
// file cut short in the middle of a character still reads as UTF-8.
bool LooksLikeUtf8(const std::string& b, size_t from)
{
    size_t i = from;
    while (i < b.size()) {
        unsigned char c = static_cast<unsigned char>(b[i]);
        size_t extra = 0;
        unsigned int cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            if (i + k >= b.size()) return true;  // cut short at the end
            unsigned char t = static_cast<unsigned char>(b[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3Fu);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

UINT CodePageOf(Encoding e)
{
    return e == Encoding::Ansi ? CP_ACP : CP_UTF8;
}

std::wstring DecodeBytes(const char* data, size_t size, Encoding e)
{
    std::wstring out;
    if (size == 0) return out;
    if (e == Encoding::Utf16Le || e == Encoding::Utf16Be) {
        out.resize(size / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            unsigned char a = static_cast<unsigned char>(data[2 * i]);
            unsigned char b = static_cast<unsigned char>(data[2 * i + 1]);
            out[i] = static_cast<wchar_t>(e == Encoding::Utf16Le ? (a | (b << 8)) : ((a << 8) | b));
        }
        return out;
    }
    UINT cp = CodePageOf(e);
    int n = MultiByteToWideChar(cp, 0, data, static_cast<int>(size), nullptr, 0);
    if (n <= 0) return out;
    out.resize(static_cast<size_t>(n));
    MultiByteToWideChar(cp, 0, data, static_cast<int>(size), &out[0], n);
    return out;
}

// Text in the file's encoding; false when a code page cannot hold it.
bool EncodeText(const std::wstring& text, Encoding e, std::string& out)
{
    out.clear();
    if (text.empty()) return true;
    if (e == Encoding::Utf16Le || e == Encoding::Utf16Be) {
        out.resize(text.size() * 2);
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned int u = static_cast<unsigned int>(text[i]);
            char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>((u >> 8) & 0xFF);
            out[2 * i] = e == Encoding::Utf16Le ? lo : hi;
            out[2 * i + 1] = e == Encoding::Utf16Le ? hi : lo;
        }
        return true;
    }
    UINT cp = CodePageOf(e);
    BOOL usedDefault = FALSE;
    BOOL* lossy = cp == CP_UTF8 ? nullptr : &usedDefault;
    DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                lossy);
    if (n <= 0 || usedDefault) return false;
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return true;
}

// Splits the bytes into lines; false for data that is no text at all.
bool SplitLines(TextFile& f)
{
    const std::string& b = f.bytes;
    size_t start = 0;
    size_t unit = 1;
    if (b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        f.encoding = Encoding::Utf8Bom;
        start = 3;
    } else if (b.size() >= 2 && b[0] == '\xFF' && b[1] == '\xFE') {
        f.encoding = Encoding::Utf16Le;
        start = 2;
        unit = 2;
    } else if (b.size() >= 2 && b[0] == '\xFE' && b[1] == '\xFF') {
        f.encoding = Encoding::Utf16Be;
        start = 2;
        unit = 2;
    } else {
        if (b.find('\0') != std::string::npos) return false;
        f.encoding = LooksLikeUtf8(b, 0) ? Encoding::Utf8 : Encoding::Ansi;
    }
    auto unitAt = [&](size_t pos) -> unsigned int {
        if (unit == 1) return static_cast<unsigned char>(b[pos]);
        unsigned int x = static_cast<unsigned char>(b[pos]), y = static_cast<unsigned char>(b[pos + 1]);
        return f.encoding == Encoding::Utf16Le ? (x | (y << 8)) : ((x << 8) | y);
    };
    // A UTF-16 file cut after an odd byte keeps that byte, but it is no text.
    size_t usable = start + (b.size() - start) / unit * unit;
    bool firstBreak = true;
    f.crlf = true;
    size_t pos = start;
    while (pos < usable) {
        Line line;
        line.begin = pos;
        size_t p = pos;
        while (p < usable && unitAt(p) != '\n') p += unit;
        size_t end = p;
        if (p < usable) {
            bool cr = end > pos && unitAt(end - unit) == '\r';
            if (cr) end -= unit;
            if (firstBreak) f.crlf = cr;
            firstBreak = false;
            line.next = p + unit;
        } else {
            line.next = b.size();
        }
        line.end = end;
        line.text = DecodeBytes(b.data() + pos, end - pos, f.encoding);
        f.lines.push_back(std::move(line));
        pos = f.lines.back().next;
    }
    return true;
}

struct FileHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    FileHandle() = default;
    explicit FileHandle(HANDLE x) : h(x) {}
    ~FileHandle()
    {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool ok() const { return h != INVALID_HANDLE_VALUE; }
};

// Reads a whole file; returns OSTREL_OK, OSTREL_ERR_OPEN or OSTREL_ERR_NOT_TEXT.
// missing tells whether the file (or its folder) does not exist.
int ReadWholeFile(const wchar_t* path, std::string& bytes, bool& missing)
{
    missing = false;
    bytes.clear();
    FileHandle f(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok()) {
        DWORD e = GetLastError();
        missing = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
        return OSTREL_ERR_OPEN;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f.h, &size)) return OSTREL_ERR_OPEN;
    if (size.QuadPart > static_cast<LONGLONG>(OSTREL_MAX_FILE_BYTES)) return OSTREL_ERR_NOT_TEXT;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(f.h, &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr))
            return OSTREL_ERR_OPEN;
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return OSTREL_OK;
}

// Writes the new content beside the file and renames it over the old one, so
// readers see either the old or the new file, never a part of one.
int ReplaceAtomically(const std::wstring& path, const std::string& bytes)
{
    static volatile LONG counter = 0;
    std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                        std::to_wstring(InterlockedIncrement(&counter)) + L".tmp";
    {
        FileHandle f(
            CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f.ok()) return OSTREL_ERR_WRITE;
        size_t done = 0;
        bool ok = true;
        while (ok && done < bytes.size()) {
            DWORD put = 0;
            ok =
                WriteFile(f.h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put, nullptr) &&
                put > 0;
            done += put;
        }
        if (ok) ok = FlushFileBuffers(f.h) != 0;
        if (!ok) {
            CloseHandle(f.h);
            f.h = INVALID_HANDLE_VALUE;
            DeleteFileW(temp.c_str());
            return OSTREL_ERR_WRITE;
        }
    }
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return OSTREL_ERR_WRITE;
    }
    return OSTREL_OK;
}

struct Section {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> items;
    std::map<std::wstring, size_t> index;

    void Put(const std::wstring& key, const std::wstring& value, bool overrideExisting)
    {
        auto it = index.find(key);
        if (it == index.end()) {
            index.emplace(key, items.size());
            items.emplace_back(key, value);
        } else if (overrideExisting) {
            items[it->second].second = value;
        }
    }
};

}  // namespace

struct OstrelConfig {
    std::mutex lock;
    std::vector<Section> sections;
    std::map<std::wstring, size_t> sectionIndex;

    Section& SectionNamed(const std::wstring& name)
    {
        auto it = sectionIndex.find(name);
        if (it != sectionIndex.end()) return sections[it->second];
        sectionIndex.emplace(name, sections.size());
        sections.push_back(Section{name, {}, {}});
        return sections.back();
    }
    const Section* FindSection(const wchar_t* name) const
    {
        if (!name) return nullptr;
        auto it = sectionIndex.find(name);
        return it == sectionIndex.end() ? nullptr : &sections[it->second];
    }
};

namespace {

// Live handles, so a stale or doubly freed handle is refused instead of used.
std::mutex g_handlesLock;
std::set<OstrelConfig*> g_handles;

bool IsLive(OSTREL_HANDLE h)
{
    std::lock_guard<std::mutex> guard(g_handlesLock);
    return h && g_handles.count(h) != 0;
}

wchar_t* CopyOut(const std::wstring& s)
{
    size_t bytes = (s.size() + 1) * sizeof(wchar_t);
    auto* p = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (!p) return nullptr;
    memcpy(p, s.c_str(), bytes);
    return p;
}

bool HasLineBreak(const std::wstring& s)
{
    return s.find_first_of(L"\r\n") != std::wstring::npos;
}

// Whether section/key/value can be written so that they read back the same.
bool IsWritable(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    if (section.empty() || HasLineBreak(section) || section.find(L']') != std::wstring::npos ||
        Trim(section) != section)
        return false;
    if (key.empty() || HasLineBreak(key) || key.find(L'=') != std::wstring::npos || Trim(key) != key)
        return false;
    if (key[0] == L'[' || key[0] == L';' || key[0] == L'#') return false;
    return !HasLineBreak(value);
}

std::wstring ValueAsWritten(const std::wstring& value)
{
    bool quote = !value.empty() && (Trim(value) != value ||
                                    (value.size() >= 2 && value.front() == L'"' && value.back() == L'"'));
    return quote ? L"\"" + value + L"\"" : value;
}

int ModifyFile(const std::wstring& path, const std::wstring& section, const std::wstring& key,
               const std::wstring& value)
{
    if (!IsWritable(section, key, value)) return OSTREL_ERR_ARGUMENT;
    TextFile f;
    bool missing = false;
    int r = ReadWholeFile(path.c_str(), f.bytes, missing);
    if (r != OSTREL_OK && !missing) return r;
    if (!SplitLines(f)) return OSTREL_ERR_NOT_TEXT;
    // A UTF-16 file with an odd byte count is damaged; adding to it would
    // shift every later character.
    if ((f.encoding == Encoding::Utf16Le || f.encoding == Encoding::Utf16Be) && f.bytes.size() % 2 != 0)
        return OSTREL_ERR_NOT_TEXT;

    std::string nl, encoded;
    EncodeText(f.crlf ? L"\r\n" : L"\n", f.encoding, nl);
    const std::wstring written = ValueAsWritten(value);

    // The first item of that key in any [section] block counts, as when reading.
    const Line* target = nullptr;
    ParsedLine targetParsed;
    const Line* insertAfter = nullptr;  // last item (or the header) of the first block
    bool inSection = false, seenSection = false, inFirstBlock = false;
    for (const Line& line : f.lines) {
        ParsedLine p = ParseLine(line.text);
        if (p.kind == LineKind::Section) {
            inSection = p.name == section;
            inFirstBlock = inSection && !seenSection;
            if (inFirstBlock) insertAfter = &line;
            seenSection = seenSection || inSection;
        } else if (p.kind == LineKind::Item && inSection) {
            if (p.name == key) {
                target = &line;
                targetParsed = p;
                break;
            }
            if (inFirstBlock) insertAfter = &line;
        }
    }

    std::string out;
    if (target) {
        std::wstring text = target->text.substr(0, targetParsed.valueBegin) + written +
                            target->text.substr(targetParsed.valueEnd);
        if (!EncodeText(text, f.encoding, encoded)) return OSTREL_ERR_UNENCODABLE;
        out = f.bytes.substr(0, target->begin) + encoded + f.bytes.substr(target->end);
    } else if (insertAfter) {
        if (!EncodeText(key + L"=" + written, f.encoding, encoded)) return OSTREL_ERR_UNENCODABLE;
        bool terminated = insertAfter->next > insertAfter->end;
        size_t at = insertAfter->next;
        out = f.bytes.substr(0, at) + (terminated ? encoded + nl : nl + encoded) + f.bytes.substr(at);
    } else {
        if (!EncodeText(L"[" + section + L"]", f.encoding, encoded)) return OSTREL_ERR_UNENCODABLE;
        std::string item;
        if (!EncodeText(key + L"=" + written, f.encoding, item)) return OSTREL_ERR_UNENCODABLE;
        out = f.bytes;
        bool hasText = !f.lines.empty();
        if (hasText && f.lines.back().next == f.lines.back().end) out += nl;  // unterminated last line
        if (hasText) out += nl;
        out += encoded + nl + item + nl;
    }
    return ReplaceAtomically(path, out);
}

int LoadFile(OstrelConfig& cfg, const wchar_t* path, int flags)
{
    TextFile f;
    bool missing = false;
    int r = ReadWholeFile(path, f.bytes, missing);
    if (r != OSTREL_OK) return r;
    if (!SplitLines(f)) return OSTREL_ERR_NOT_TEXT;
    // Within one file the first value of a key counts.
    std::set<std::pair<std::wstring, std::wstring>> seen;
    std::wstring current;
    bool inSection = false;
    std::lock_guard<std::mutex> guard(cfg.lock);
    for (const Line& line : f.lines) {
        ParsedLine p = ParseLine(line.text);
        if (p.kind == LineKind::Section) {
            current = p.name;
            inSection = true;
            cfg.SectionNamed(current);
        } else if (p.kind == LineKind::Item && inSection) {
            if (!seen.emplace(current, p.name).second) continue;
            cfg.SectionNamed(current).Put(p.name, p.value, flags == OSTREL_LOAD_OVERRIDE);
        }
    }
    return OSTREL_OK;
}

}  // namespace

OSTREL_API int ZentoCreateConfigFileHandle(OSTREL_HANDLE* handle)
{
    if (!handle) return OSTREL_ERR_ARGUMENT;
    *handle = nullptr;
    try {
        auto cfg = std::make_unique<OstrelConfig>();
        std::lock_guard<std::mutex> guard(g_handlesLock);
        g_handles.insert(cfg.get());
        *handle = cfg.release();
        return OSTREL_OK;
    } catch (...) {
        return OSTREL_ERR_MEMORY;
    }
}

OSTREL_API int ZentoLoadConfigFile(OSTREL_HANDLE handle, const wchar_t* path, int flags)
{
    if (!IsLive(handle) || !path || !*path) return OSTREL_ERR_ARGUMENT;
    try {
        return LoadFile(*handle, path, flags);
    } catch (...) {
        return OSTREL_ERR_MEMORY;
    }
}

OSTREL_API int ZentoGetConfigSectionsCount(OSTREL_HANDLE handle)
{
    if (!IsLive(handle)) return 0;
    std::lock_guard<std::mutex> guard(handle->lock);
    return static_cast<int>(handle->sections.size());
}

OSTREL_API wchar_t* ZentoGetConfigSectionName(OSTREL_HANDLE handle, int index)
{
    if (!IsLive(handle) || index < 0) return nullptr;
    std::lock_guard<std::mutex> guard(handle->lock);
    if (static_cast<size_t>(index) >= handle->sections.size()) return nullptr;
    return CopyOut(handle->sections[static_cast<size_t>(index)].name);
}

OSTREL_API int ZentoGetConfigItemsCount(OSTREL_HANDLE handle, const wchar_t* section)
{
    if (!IsLive(handle)) return 0;
    std::lock_guard<std::mutex> guard(handle->lock);
    const Section* s = handle->FindSection(section);
    return s ? static_cast<int>(s->items.size()) : 0;
}

OSTREL_API wchar_t* ZentoGetConfigItemsKey(OSTREL_HANDLE handle, const wchar_t* section, int index)
{
    if (!IsLive(handle) || index < 0) return nullptr;
    std::lock_guard<std::mutex> guard(handle->lock);
    const Section* s = handle->FindSection(section);
    if (!s || static_cast<size_t>(index) >= s->items.size()) return nullptr;
    return CopyOut(s->items[static_cast<size_t>(index)].first);
}

OSTREL_API wchar_t* ZentoGetConfigItemsValue(OSTREL_HANDLE handle, const wchar_t* section, const wchar_t* key)
{
    if (!IsLive(handle) || !key) return nullptr;
    std::lock_guard<std::mutex> guard(handle->lock);
    const Section* s = handle->FindSection(section);
    if (!s) return nullptr;
    auto it = s->index.find(key);
    return it == s->index.end() ? nullptr : CopyOut(s->items[it->second].second);
}

OSTREL_API int ZentoModifyConfigFile(OSTREL_HANDLE handle, const wchar_t* path, const wchar_t* section,
                                     const wchar_t* key, const wchar_t* value)
{
    if (!IsLive(handle) || !path || !*path || !section || !key || !value) return OSTREL_ERR_ARGUMENT;
    try {
        int r = ModifyFile(path, section, key, value);
        if (r == OSTREL_OK) {
            std::lock_guard<std::mutex> guard(handle->lock);
            handle->SectionNamed(section).Put(key, value, true);
        }
        return r;
    } catch (...) {
        return OSTREL_ERR_MEMORY;
    }
}

OSTREL_API void ZentoConfigFileFreeMemory(void* memory)
{
    if (memory) HeapFree(GetProcessHeap(), 0, memory);
}

OSTREL_API void ZentoFreeConfigFileHandle(OSTREL_HANDLE handle)
{
    {
        std::lock_guard<std::mutex> guard(g_handlesLock);
        if (!handle || g_handles.erase(handle) == 0) return;
    }
    delete handle;
}
