// Token store of the substitute host; see HostDeviceService.h.
#include "HostDeviceService.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "ZentoPKIHost.h"

namespace {

const UINT kTokensChangedMessage = WM_APP + 34;
const wchar_t kWindowClass[] = L"ZentoHostDeviceServiceWindow";
const DWORD kRescanMs = 1000;

bool IsToken(const std::wstring& folder)
{
    DWORD attributes = GetFileAttributesW((folder + L"\\" ZENTO_TOKEN_INI_NAME).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyFolder(const std::wstring& from, const std::wstring& to)
{
    if (!CreateDirectoryW(to.c_str(), nullptr)) return false;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyFolder(from + L"\\" + name, to + L"\\" + name) && ok;
        else
            ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), TRUE) && ok;
    } while (ok && FindNextFileW(h, &fd));
    FindClose(h);
    return ok;
}

bool DeleteFolder(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = path + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolder(full);
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    return RemoveDirectoryW(path.c_str()) != 0;
}

// A name in the store that enumeration skips (leading '.'), for folders that
// are on their way in or out.
std::wstring TransitName(const std::wstring& store, const wchar_t* what)
{
    static LONG counter = 0;
    return store + L"\\." + what + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(InterlockedIncrement(&counter));
}

std::wstring SerialOf(const std::wstring& folder)
{
    unsigned long device = ZentoPKIHostOpenDevice(folder.c_str());
    if (!device) return std::wstring();
    std::wstring serial;
    char* text = nullptr;
    if (ZentoPKICryptoGetSerialNumber(device, &text) == ZENTO_PKI_OK && text) {
        int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
        if (n > 1) {
            serial.assign(static_cast<size_t>(n), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, text, -1, &serial[0], n);
            serial.resize(static_cast<size_t>(n - 1));
        }
    }
    if (text) ZentoPKICryptoFreeMemory(text);
    ZentoPKICryptoFreeDevice(device);
    return serial;
}

// The token's Serial line as written in token.ini: what tells two tokens in
// the same folder apart, read without opening a device.
std::wstring SerialLine(const std::wstring& folder)
{
    HANDLE h = CreateFileW((folder + L"\\" ZENTO_TOKEN_INI_NAME).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::wstring();
    char buf[4096];
    DWORD got = 0;
    BOOL read = ReadFile(h, buf, sizeof(buf), &got, nullptr);
    CloseHandle(h);
    if (!read) return std::wstring();
    std::string text(buf, got);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.size() > 7 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, line.c_str(), 7, "Serial=", 7) ==
                                   CSTR_EQUAL)
            return std::wstring(line.begin(), line.end());  // bytes widened: only compared
    }
    return std::wstring();
}

}  // namespace

HostDeviceService::HostDeviceService(const std::wstring& storeFolder) : m_store_(storeFolder)
{
    while (!m_store_.empty() && (m_store_.back() == L'\\' || m_store_.back() == L'/')) m_store_.pop_back();
}

HostDeviceService::~HostDeviceService()
{
    StopWatch();
}

std::vector<std::wstring> HostDeviceService::TokenFolders() const
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((m_store_ + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = fd.cFileName;
        if (name.empty() || name[0] == L'.' || !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (IsToken(m_store_ + L"\\" + name)) names.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    for (auto& name : names) name = m_store_ + L"\\" + name;
    return names;
}

long HostDeviceService::Count()
{
    return static_cast<long>(TokenFolders().size());
}

unsigned long HostDeviceService::OpenDevice(long index)
{
    auto tokens = TokenFolders();
    if (index < 0 || static_cast<size_t>(index) >= tokens.size()) return 0;
    return ZentoPKIHostOpenDevice(tokens[static_cast<size_t>(index)].c_str());
}

bool HostDeviceService::InsertToken(const std::wstring& sourceFolder)
{
    std::wstring source = sourceFolder;
    while (!source.empty() && (source.back() == L'\\' || source.back() == L'/')) source.pop_back();
    if (!IsToken(source)) return false;
    size_t slash = source.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    if (name.empty() || name[0] == L'.') return false;
    std::wstring target = m_store_ + L"\\" + name;
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    // Copied under a hidden name first, then renamed: the token never shows
    // up half copied.
    std::wstring transit = TransitName(m_store_, L"inserting");
    std::lock_guard<std::mutex> lock(m_storeLock_);
    if (!CopyFolder(source, transit) || !MoveFileW(transit.c_str(), target.c_str())) {
        DeleteFolder(transit);
        return false;
    }
    ++m_changes_;
    return true;
}

bool HostDeviceService::RemoveToken(const std::wstring& serial)
{
    if (serial.empty()) return false;
    for (const auto& folder : TokenFolders()) {
        if (CompareStringOrdinal(SerialOf(folder).c_str(), -1, serial.c_str(), -1, TRUE) != CSTR_EQUAL)
            continue;
        // Out of the store in one step, then cleaned up.
        std::wstring transit = TransitName(m_store_, L"removing");
        {
            std::lock_guard<std::mutex> lock(m_storeLock_);
            if (!MoveFileW(folder.c_str(), transit.c_str())) return false;
            ++m_changes_;
        }
        DeleteFolder(transit);
        return true;
    }
    return false;
}

void HostDeviceService::SetChangeCallback(std::function<void()> callback)
{
    m_callback_ = std::move(callback);
    if (m_window_) return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &HostDeviceService::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);  // fails harmlessly when already registered
    m_window_ =
        CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!m_window_) return;
    SetWindowLongPtrW(m_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_stopEvent_) return;
    // The set the caller knows now; anything after this call is news.
    Signature known = TakeSignature();
    m_watcher_ = std::thread([this, known] { WatchLoop(known); });
}

void HostDeviceService::StopWatch()
{
    if (m_stopEvent_) SetEvent(m_stopEvent_);
    if (m_watcher_.joinable()) m_watcher_.join();
    if (m_stopEvent_) {
        CloseHandle(m_stopEvent_);
        m_stopEvent_ = nullptr;
    }
    if (m_window_) {
        DestroyWindow(m_window_);
        m_window_ = nullptr;
    }
}

HostDeviceService::Signature HostDeviceService::TakeSignature()
{
    std::lock_guard<std::mutex> lock(m_storeLock_);
    Signature signature;
    signature.changes = m_changes_;
    for (const auto& folder : TokenFolders()) {
        // A PIN change rewrites token.ini but keeps the folder and the
        // serial: no news. A token taken out and put back (or another one
        // under the same name) is another folder on disk. (Not its creation
        // time: some file systems report the last change of its entries.)
        wchar_t identity[48] = L"|?|";
        HANDLE h = CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION info{};
            if (GetFileInformationByHandle(h, &info))
                swprintf(identity, 48, L"|%08lX-%08lX%08lX|", info.dwVolumeSerialNumber, info.nFileIndexHigh,
                         info.nFileIndexLow);
            CloseHandle(h);
        }
        signature.tokens.push_back(folder + identity + SerialLine(folder));
    }
    return signature;
}

void HostDeviceService::WatchLoop(Signature known)
{
    const DWORD filter = FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME;
    HANDLE change = FindFirstChangeNotificationW(m_store_.c_str(), TRUE, filter);
    for (;;) {
        HANDLE handles[2] = {m_stopEvent_, change};
        DWORD count = change == INVALID_HANDLE_VALUE ? 1 : 2;
        // The notification covers the store and its tokens, but not every
        // system watches sub-folders made after the watch began (a token
        // copied in by hand gets its token.ini last), so look again every
        // second as well. Without a notification (the store is missing, or
        // was renamed or removed under the watch) the one-second look alone
        // finds every change, and the watch is set up again when it can be.
        DWORD which = WaitForMultipleObjects(count, handles, FALSE, kRescanMs);
        if (which == WAIT_OBJECT_0) break;
        bool notified = which == WAIT_OBJECT_0 + 1;
        if (which == WAIT_FAILED) {
            if (change == INVALID_HANDLE_VALUE) break;  // the stop event itself is gone
            FindCloseChangeNotification(change);
            change = INVALID_HANDLE_VALUE;
        }
        // Only a changed set of tokens is news; PIN changes and other file
        // traffic inside a token are not.
        Signature now = TakeSignature();
        if (now != known) {
            known = now;
            PostMessageW(m_window_, kTokensChangedMessage, 0, 0);
        }
        if (notified && !FindNextChangeNotification(change)) {
            FindCloseChangeNotification(change);
            change = INVALID_HANDLE_VALUE;
        }
        if (change == INVALID_HANDLE_VALUE)
            change = FindFirstChangeNotificationW(m_store_.c_str(), TRUE, filter);
    }
    if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
}

LRESULT CALLBACK HostDeviceService::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kTokensChangedMessage) {
        auto* self = reinterpret_cast<HostDeviceService*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && self->m_callback_) self->m_callback_();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
