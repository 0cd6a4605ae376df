// Shared test helpers; see TestSupport.h.
#include "TestSupport.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <vector>

namespace testsupport {

std::wstring UnixToWindowsPath(const std::string& unixPath)
{
    std::wstring w = FromUtf8(unixPath);
    for (auto& c : w) {
        if (c == L'/') c = L'\\';
    }
    return L"Z:" + w;
}

static std::wstring EnvPath(const char* name)
{
    const char* v = getenv(name);
    if (!v || !*v) return std::wstring();
    return UnixToWindowsPath(v);
}

std::wstring SourceDir() { return EnvPath("LUMORA_SOURCE_DIR"); }
std::wstring BuildDir() { return EnvPath("LUMORA_BUILD_DIR"); }
std::wstring FixturesDir()
{
    std::wstring b = BuildDir();
    return b.empty() ? b : b + L"\\fixtures";
}

std::wstring ScreenshotPath(const std::wstring& name)
{
    const std::wstring folder = BuildDir() + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buf[65536];
    DWORD got = 0;
    bool ok = true;
    while (true) {
        if (!ReadFile(h, buf, sizeof(buf), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes.append(buf, got);
    }
    CloseHandle(h);
    return ok;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    BOOL ok = bytes.empty() ? TRUE
                            : WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
    return ok && put == bytes.size();
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<FolderEntry> ListFolder(const std::wstring& folder, const std::wstring& pattern)
{
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\" + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return entries;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back({name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return entries;
}

std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    for (const FolderEntry& e : ListFolder(folder, pattern)) {
        if (!e.folder) names.push_back(e.name);
    }
    return names;
}

bool RemoveTree(const std::wstring& path)
{
    for (const FolderEntry& e : ListFolder(path)) {
        std::wstring full = path + L"\\" + e.name;
        if (e.folder) {
            RemoveTree(full);
        } else {
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(full.c_str());
        }
    }
    return RemoveDirectoryW(path.c_str()) != 0;
}

bool CopyTree(const std::wstring& from, const std::wstring& to)
{
    if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    bool ok = true;
    for (const FolderEntry& e : ListFolder(from)) {
        if (e.folder)
            ok = CopyTree(from + L"\\" + e.name, to + L"\\" + e.name) && ok;
        else
            ok = CopyFileW((from + L"\\" + e.name).c_str(), (to + L"\\" + e.name).c_str(), FALSE) && ok;
    }
    return ok;
}

TempDir::TempDir(const std::wstring& nameHint)
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::wstring candidate = std::wstring(base) + nameHint + L"_" +
                                 std::to_wstring(GetCurrentProcessId()) + L"_" +
                                 std::to_wstring(InterlockedIncrement(&counter));
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            m_path_ = candidate;
            return;
        }
    }
}

TempDir::~TempDir()
{
    if (!m_path_.empty()) RemoveTree(m_path_);
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (true) {
        PumpMessages();
        if (cond()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {

// Wine keeps a per-process table of 65536 GDI handle entries of 24 bytes
// (object pointer, owner, unique, type, ...), published as the PEB's
// GdiSharedHandleTable. Free entries keep a pointer (the free list runs
// through it) but lose their type byte, so the type tells a live object.
DWORD CountWineGdiTable()
{
#if defined(__i386__) || defined(__x86_64__)
    const BYTE* peb = nullptr;
#if defined(__i386__)
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    const size_t tableField = 0x94;
#else
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    const size_t tableField = 0xF8;
#endif
    // The entries hold a 64-bit object pointer on both architectures, so
    // their size and the type byte's place are the same.
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + tableField);
#if defined(__i386__)
    // A 32-bit program in a 64-bit prefix (WoW64) finds the table only in
    // the 64-bit PEB, which Wine keeps one page below the 32-bit one.
    MEMORY_BASIC_INFORMATION peb64;
    if (!table && VirtualQuery(peb - 0x1000, &peb64, sizeof(peb64)) && peb64.State == MEM_COMMIT) {
        table = reinterpret_cast<const BYTE*>(*reinterpret_cast<const ULONG_PTR*>(peb - 0x1000 + 0xF8));
    }
#endif
    if (!table) return 0;
    const size_t entrySize = 24, entries = 0x10000;
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(table, &mbi, sizeof(mbi))) return 0;
    size_t readable = static_cast<size_t>(static_cast<const BYTE*>(mbi.BaseAddress) + mbi.RegionSize - table);
    size_t count = std::min(entries, readable / entrySize);
    DWORD used = 0;
    for (size_t i = 0; i < count; ++i) {
        if (table[i * entrySize + 14] != 0) ++used;
    }
    return used;
#else
    return 0;
#endif
}

BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(hwnd, CountChild, count);
    return TRUE;
}

}  // namespace

DWORD CountGdiObjects()
{
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return n ? n : CountWineGdiTable();
}

std::vector<LogLine> ReadLogLines(const std::wstring& folder, const std::wstring& pattern)
{
    std::vector<std::wstring> names = ListFiles(folder, pattern);
    std::sort(names.begin(), names.end());
    std::vector<LogLine> lines;
    for (const std::wstring& name : names) {
        std::string bytes;
        ReadFileBytes(folder + L"\\" + name, bytes);
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t end = bytes.find("\r\n", pos);
            if (end == std::string::npos) end = bytes.size();
            const std::string raw = bytes.substr(pos, end - pos);
            pos = end + 2;
            size_t cut = 0;
            for (int field = 0; field < 4 && cut != std::string::npos; ++field)
                cut = raw.find(' ', cut + (field ? 1 : 0));
            LogLine line;
            if (cut != std::string::npos && raw.size() > 24) {
                line.level = atoi(raw.c_str() + 24);
                line.text = raw.substr(cut + 1);
            } else {
                line.text = "<malformed> " + raw;
            }
            lines.push_back(line);
        }
    }
    return lines;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\'));
}

DWORD CountThreads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    DWORD count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

std::string DescribeThreads()
{
    // Where each thread started (module of its start address): tells a
    // thread of ours from one the system keeps.
    using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    std::string text;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return text;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        void* start = nullptr;
        if (thread && query) query(thread, 9 /* ThreadQuerySetWin32StartAddress */, &start, sizeof(start), nullptr);
        if (thread) CloseHandle(thread);
        HMODULE module = nullptr;
        char name[MAX_PATH] = "?";
        if (start && GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                            GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                        static_cast<LPCWSTR>(start), &module))
            GetModuleFileNameA(module, name, MAX_PATH);
        text += std::to_string(entry.th32ThreadID) + " " + name + "\n";
    }
    CloseHandle(snapshot);
    return text;
}

DWORD CountUserObjects()
{
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (n) return n;
    DWORD windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

}  // namespace testsupport

namespace testsupport {

namespace {
constexpr wchar_t kPinMask = 0x5A3C;
}  // namespace

SecretPin::SecretPin()
{
    // Random, so no copy of it can sit in the program's image.
    LARGE_INTEGER seed;
    ::QueryPerformanceCounter(&seed);
    unsigned long long state = static_cast<unsigned long long>(seed.QuadPart) ^ ::GetCurrentProcessId();
    const wchar_t* classes[] = {L"ABCDEFGHJKLMNPQRSTUVWXYZ", L"abcdefghijkmnpqrstuvwxyz", L"0123456789", L"#%@!"};
    for (size_t i = 0; i < kLength; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const wchar_t* chars = classes[i % 4];
        m_masked_[i] = static_cast<wchar_t>(chars[(state >> 33) % wcslen(chars)] ^ kPinMask);
    }
}

void SecretPin::Reveal(wchar_t (&out)[kLength + 1]) const
{
    for (size_t i = 0; i < kLength; ++i) out[i] = static_cast<wchar_t>(m_masked_[i] ^ kPinMask);
    out[kLength] = 0;
}

bool SecretPin::FoundInProcessMemory() const
{
    // Compared through the mask, so the scan itself makes no clear copy;
    // `stride` 2 reads UTF-16, 1 one byte a character.
    auto matchesAt = [&](const unsigned char* p, size_t stride) {
        for (size_t i = 0; i < kLength; ++i) {
            const wchar_t c = static_cast<wchar_t>(m_masked_[i] ^ kPinMask);
            if (p[i * stride] != c || (stride == 2 && p[i * 2 + 1] != 0)) return false;
        }
        return true;
    };
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    std::vector<unsigned char> chunk(1 << 20);
    MEMORY_BASIC_INFORMATION region;
    for (auto* at = static_cast<unsigned char*>(info.lpMinimumApplicationAddress);
         at < info.lpMaximumApplicationAddress && ::VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<unsigned char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State != MEM_COMMIT || !(region.Protect & readable) || (region.Protect & PAGE_GUARD)) continue;
        auto* base = static_cast<unsigned char*>(region.BaseAddress);
        // Chunks overlap by a PIN's length, so none is cut in two.
        for (size_t offset = 0; offset < region.RegionSize; offset += chunk.size() - kLength * 2) {
            SIZE_T got = 0;
            const size_t want = std::min(chunk.size(), region.RegionSize - offset);
            if (!::ReadProcessMemory(::GetCurrentProcess(), base + offset, chunk.data(), want, &got)) break;
            for (size_t i = 0; i + kLength <= got; ++i)
                if (matchesAt(&chunk[i], 1) || (i + kLength * 2 <= got && matchesAt(&chunk[i], 2))) return true;
            if (offset + got >= region.RegionSize) break;
        }
    }
    return false;
}

namespace {

// This process's folder under /proc. Under Wine "self" there is whoever
// opens the file, which is the wineserver; the process is the one that has
// this program's file mapped (another tree's copy has another path).
std::wstring OwnProcFolder()
{
    static const std::wstring folder = [] {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring unixPath = path[1] == L':' ? path + 2 : path;
        std::replace(unixPath.begin(), unixPath.end(), L'\\', L'/');
        const std::wstring name = unixPath.substr(unixPath.find_last_of(L'/') + 1);
        const std::string comm = ToUtf8(name.substr(0, 15)) + "\n";  // the kernel keeps 15 characters
        for (const FolderEntry& entry : ListFolder(L"Z:\\proc")) {
            const std::wstring proc = L"Z:\\proc\\" + entry.name;
            std::string text;
            if (entry.folder && ReadFileBytes(proc + L"\\comm", text) && text == comm &&
                ReadFileBytes(proc + L"\\maps", text) && text.find(ToUtf8(unixPath)) != std::string::npos)
                return proc;
        }
        return std::wstring();
    }();
    return folder;
}

}  // namespace

std::map<unsigned long, unsigned long long> ThreadSwitches()
{
    std::map<unsigned long, unsigned long long> switches;
    const std::wstring tasks = OwnProcFolder() + L"\\task";
    for (const FolderEntry& task : OwnProcFolder().empty() ? std::vector<FolderEntry>() : ListFolder(tasks)) {
        std::string status;
        if (!ReadFileBytes(tasks + L"\\" + task.name + L"\\status", status)) continue;
        const size_t voluntary = status.find("\nvoluntary_ctxt_switches:");
        const size_t forced = status.find("\nnonvoluntary_ctxt_switches:");
        if (voluntary == std::string::npos || forced == std::string::npos) continue;
        switches[std::wcstoul(task.name.c_str(), nullptr, 10)] = std::strtoull(status.c_str() + voluntary + 25, nullptr, 10) +
                                                                 std::strtoull(status.c_str() + forced + 28, nullptr, 10);
    }
    return switches;
}

}  // namespace testsupport
