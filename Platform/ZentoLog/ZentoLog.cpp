// ZENTO_LOG.dll: appends formatted lines to dated, size-rotated files. A
// handle keeps its file open between lines; the handle's lock makes each line
// one whole write, whatever the number of threads.
#define ZENTO_LOG_BUILD
#include "ZentoLogStandIn.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

class LogHandle {
public:
    ~LogHandle() { CloseFile(); }

    int Configure(int output, int rotation, const char* base)
    {
        if (output != ZENTO_LOG_OUTPUT_FILE) return 0;
        if (rotation != ZENTO_LOG_ROTATE_DAILY && rotation != ZENTO_LOG_ROTATE_NONE) return 0;
        if (!base || !*base) return 0;
        std::wstring wide = FromUtf8(base);
        if (wide.empty()) return 0;
        // The folder must already be there: the caller decides where logs live.
        size_t slash = wide.find_last_of(L"\\/");
        if (slash != std::wstring::npos) {
            DWORD attributes = GetFileAttributesW(wide.substr(0, slash).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
        }
        std::lock_guard<std::mutex> guard(m_lock_);
        CloseFile();
        m_base_ = wide;
        m_daily_ = rotation == ZENTO_LOG_ROTATE_DAILY;
        m_configured_ = true;
        return 1;
    }

    void SetMaxBytes(unsigned long bytes)
    {
        std::lock_guard<std::mutex> guard(m_lock_);
        m_maxBytes_ = bytes;
    }

    void Write(int level, const std::string& text)
    {
        SYSTEMTIME now;
        GetLocalTime(&now);
        char prefix[96];
        snprintf(prefix, sizeof(prefix), "%04u-%02u-%02u %02u:%02u:%02u.%03u %d %lu ", now.wYear, now.wMonth,
                 now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, level,
                 static_cast<unsigned long>(GetCurrentThreadId()));
        std::string line = prefix + text + "\r\n";

        std::lock_guard<std::mutex> guard(m_lock_);
        if (!m_configured_) return;
        wchar_t day[16];
        swprintf(day, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
        if (m_file_ != INVALID_HANDLE_VALUE && m_daily_ && m_day_ != day) CloseFile();
        if (m_file_ == INVALID_HANDLE_VALUE && !OpenFile(day)) return;
        if (m_size_ > 0 && m_size_ + line.size() > m_maxBytes_) {
            Rotate();
            if (m_file_ == INVALID_HANDLE_VALUE && !OpenFile(day)) return;
        }
        DWORD put = 0;
        if (WriteFile(m_file_, line.data(), static_cast<DWORD>(line.size()), &put, nullptr)) m_size_ += put;
    }

private:
    static std::wstring FromUtf8(const char* text)
    {
        int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
        if (n <= 1) return std::wstring();
        std::wstring out(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
        out.resize(static_cast<size_t>(n - 1));
        return out;
    }

    std::wstring Stem() const { return m_daily_ ? m_base_ + L"_" + m_day_ : m_base_; }

    bool OpenFile(const std::wstring& day)
    {
        m_day_ = day;
        m_path_ = Stem() + L".log";
        m_file_ = CreateFileW(m_path_.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_file_ == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER size;
        m_size_ = GetFileSizeEx(m_file_, &size) ? static_cast<unsigned long long>(size.QuadPart) : 0;
        return true;
    }

    void Rotate()
    {
        CloseFile();
        for (unsigned n = 1; n < 100000; ++n) {
            std::wstring target = Stem() + L"_" + std::to_wstring(n) + L".log";
            if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
            MoveFileExW(m_path_.c_str(), target.c_str(), 0);
            return;
        }
    }

    void CloseFile()
    {
        if (m_file_ != INVALID_HANDLE_VALUE) CloseHandle(m_file_);
        m_file_ = INVALID_HANDLE_VALUE;
        m_size_ = 0;
    }

    std::mutex m_lock_;
    bool m_configured_ = false;
    bool m_daily_ = true;
    std::wstring m_base_;
    std::wstring m_day_;
    std::wstring m_path_;
    HANDLE m_file_ = INVALID_HANDLE_VALUE;
    unsigned long long m_size_ = 0;
    unsigned long long m_maxBytes_ = ZENTO_LOG_DEFAULT_MAX_BYTES;
};

// Live handles. A writer holds its own reference, so freeing a handle while
// another thread is inside a line lets that line finish first.
std::mutex g_handlesLock;
std::map<ZENTO_LOG_HANDLE, std::shared_ptr<LogHandle>> g_handles;

std::shared_ptr<LogHandle> Find(ZENTO_LOG_HANDLE handle)
{
    std::lock_guard<std::mutex> guard(g_handlesLock);
    auto it = g_handles.find(handle);
    return it == g_handles.end() ? nullptr : it->second;
}

}  // namespace

ZENTO_LOG_API int ZentoCreateLogHandle(ZENTO_LOG_HANDLE* handle)
{
    if (!handle) return 0;
    *handle = nullptr;
    try {
        auto log = std::make_shared<LogHandle>();
        std::lock_guard<std::mutex> guard(g_handlesLock);
        g_handles.emplace(log.get(), log);
        *handle = log.get();
        return 1;
    } catch (...) {
        return 0;
    }
}

ZENTO_LOG_API int ZentoLogHandleSetConfigParam(ZENTO_LOG_HANDLE handle, int output, int rotation,
                                               const char* base)
{
    auto log = Find(handle);
    if (!log) return 0;
    try {
        return log->Configure(output, rotation, base);
    } catch (...) {
        return 0;
    }
}

ZENTO_LOG_API int ZentoLogHandleSetMaxFileSize(ZENTO_LOG_HANDLE handle, unsigned long bytes)
{
    auto log = Find(handle);
    if (!log || bytes < 1024) return 0;
    log->SetMaxBytes(bytes);
    return 1;
}

ZENTO_LOG_API void ZentoFreeLogHandle(ZENTO_LOG_HANDLE handle)
{
    std::shared_ptr<LogHandle> last;
    std::lock_guard<std::mutex> guard(g_handlesLock);
    auto it = g_handles.find(handle);
    if (it == g_handles.end()) return;
    last = std::move(it->second);
    g_handles.erase(it);
}

ZENTO_LOG_API void ZentoLogHandleLogger(ZENTO_LOG_HANDLE handle, int level, const char* format, ...)
{
    if (!format) return;
    auto log = Find(handle);
    if (!log) return;
    try {
        char small[1024];
        va_list args;
        va_start(args, format);
        int n = vsnprintf(small, sizeof(small), format, args);
        va_end(args);
        if (n < 0) return;
        std::string text;
        if (static_cast<size_t>(n) < sizeof(small)) {
            text.assign(small, static_cast<size_t>(n));
        } else {
            text.resize(static_cast<size_t>(n) + 1);
            va_start(args, format);
            vsnprintf(&text[0], text.size(), format, args);
            va_end(args);
            text.resize(static_cast<size_t>(n));
        }
        log->Write(level, text);
    } catch (...) {
        // A line that cannot be formatted is dropped; the caller never sees it.
    }
}
