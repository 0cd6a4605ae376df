// Token folders on disk; see TokenStore.h.
#include "TokenStore.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "Utf8.h"

namespace zento {

namespace {

const wchar_t kIniName[] = L"token.ini";

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool EqualsNoCase(const std::string& a, const char* b)
{
    return lstrcmpiA(a.c_str(), b) == 0;
}

int ToInt(const std::string& s, bool& ok)
{
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    ok = !s.empty() && end && *end == '\0';
    return static_cast<int>(v);
}

bool HasSuffixNoCase(const std::wstring& name, const wchar_t* suffix)
{
    size_t n = wcslen(suffix);
    return name.size() > n && lstrcmpiW(name.c_str() + name.size() - n, suffix) == 0;
}

std::vector<std::wstring> ListEntries(const std::wstring& folder, bool folders)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = fd.cFileName;
        if (name.empty() || name[0] == L'.') continue;
        bool isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folders) names.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// A reader holding the description open (for microseconds) makes the
// replacing rename fail with a sharing error; it is tried again for a while
// rather than failing the PIN change.
bool ReplaceWithRetries(const std::wstring& from, const std::wstring& to)
{
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt >= 400) return false;
        Sleep(5);
    }
}

}  // namespace

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buf[16384];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
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

bool ReadTokenInfo(const std::wstring& tokenFolder, TokenInfo& info)
{
    info = TokenInfo();
    std::string text;
    if (!ReadWholeFile(tokenFolder + L"\\" + kIniName, text)) return false;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    bool inToken = false, sawToken = false, sawSerial = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = Trim(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
        pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            inToken = EqualsNoCase(line, "[Token]");
            sawToken = sawToken || inToken;
            continue;
        }
        if (!inToken) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        bool ok = true;
        if (EqualsNoCase(key, "Type")) {
            info.type = ToInt(value, ok);
        } else if (EqualsNoCase(key, "Serial")) {
            info.serial = value;
            sawSerial = !value.empty();
        } else if (EqualsNoCase(key, "Label")) {
            info.label = value;
        } else if (EqualsNoCase(key, "Pin")) {
            info.pin = value;
        } else if (EqualsNoCase(key, "Retries")) {
            info.retries = ToInt(value, ok);
        } else if (EqualsNoCase(key, "MaxRetries")) {
            info.maxRetries = ToInt(value, ok);
        }
        if (!ok) return false;
    }
    return sawToken && sawSerial && info.maxRetries > 0;
}

bool WriteTokenInfo(const std::wstring& tokenFolder, const TokenInfo& info)
{
    std::string text = "[Token]\r\nType=" + std::to_string(info.type) + "\r\nSerial=" + info.serial +
                       "\r\nLabel=" + info.label + "\r\nPin=" + info.pin +
                       "\r\nRetries=" + std::to_string(info.retries) +
                       "\r\nMaxRetries=" + std::to_string(info.maxRetries) + "\r\n";
    std::wstring target = tokenFolder + L"\\" + kIniName;
    // A name of this write alone: a second writer (another handle, thread or
    // process) must never open or rename our half-written file.
    static LONG counter = 0;
    std::wstring temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetCurrentThreadId()) + L"-" +
                        std::to_wstring(InterlockedIncrement(&counter)) + L".new";
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    BOOL wrote = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    BOOL flushed = FlushFileBuffers(h);
    CloseHandle(h);
    if (!wrote || !flushed || put != text.size() || !ReplaceWithRetries(temp, target)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

bool IsStorablePin(const std::string& pin)
{
    for (unsigned char c : pin) {
        if (c < 0x20 || c == 0x7F) return false;
    }
    return pin.empty() || (pin.front() != ' ' && pin.back() != ' ');
}

TokenLock::TokenLock(const std::wstring& tokenFolder)
{
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(tokenFolder.c_str(), MAX_PATH * 2, full, nullptr);
    std::wstring path = (n > 0 && n < MAX_PATH * 2) ? std::wstring(full, n) : tokenFolder;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    // Mutex names may not hold backslashes: the path goes in as a hash.
    unsigned long long hash = 1469598103934665603ULL;
    for (wchar_t c : path) {
        hash ^= static_cast<unsigned long long>(c == L'/' ? L'\\' : c);
        hash *= 1099511628211ULL;
    }
    wchar_t name[64];
    swprintf(name, 64, L"Local\\ZentoPKIToken-%016llX", hash);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex) return;
    m_mutex_ = mutex;
    DWORD wait = WaitForSingleObject(mutex, 10000);
    // An abandoned mutex is ours now; the file itself is always whole.
    m_held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

TokenLock::~TokenLock()
{
    if (!m_mutex_) return;
    if (m_held_) ReleaseMutex(static_cast<HANDLE>(m_mutex_));
    CloseHandle(static_cast<HANDLE>(m_mutex_));
}

std::vector<std::wstring> ListKeypairFolders(const std::wstring& tokenFolder)
{
    std::vector<std::wstring> out;
    for (const auto& name : ListEntries(tokenFolder, true)) out.push_back(tokenFolder + L"\\" + name);
    return out;
}

std::vector<std::wstring> ListCertificateFiles(const std::wstring& keypairFolder)
{
    std::vector<std::wstring> out;
    for (const auto& name : ListEntries(keypairFolder, false)) {
        if (HasSuffixNoCase(name, L".cer") || HasSuffixNoCase(name, L".der") ||
            HasSuffixNoCase(name, L".crt"))
            out.push_back(keypairFolder + L"\\" + name);
    }
    return out;
}

}  // namespace zento
