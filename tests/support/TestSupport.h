// Small helpers every test binary shares: where the source, build and
// generated fixtures are (as Windows paths under Wine), temporary folders that
// clean up after themselves, and waiting for a condition with messages pumped.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// Folders handed in by ctest as Linux paths, returned as Windows paths (Z:\...).
std::wstring SourceDir();
std::wstring BuildDir();
std::wstring FixturesDir();
std::wstring UnixToWindowsPath(const std::string& unixPath);
// <build>\\screenshots\\<name>, the folder made when missing.
std::wstring ScreenshotPath(const std::wstring& name);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

bool ReadFileBytes(const std::wstring& path, std::string& bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
bool RemoveTree(const std::wstring& path);
// Copies a folder with everything in it (the target may exist).
bool CopyTree(const std::wstring& from, const std::wstring& to);

// What a folder holds (without "." and ".."), matching a wildcard pattern.
struct FolderEntry {
    std::wstring name;
    bool folder;
};
std::vector<FolderEntry> ListFolder(const std::wstring& folder, const std::wstring& pattern = L"*");
// Only the files' names.
std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern = L"*");

// A fresh folder under %TEMP%, removed with everything in it at destruction.
// The name may carry extra text (for example Chinese characters) so paths
// outside ASCII are exercised.
class TempDir {
public:
    explicit TempDir(const std::wstring& nameHint = L"lumora");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return m_path_; }
    std::wstring File(const std::wstring& name) const { return m_path_ + L"\\" + name; }

private:
    std::wstring m_path_;
};

// GDI objects of this process: GetGuiResources where the system counts them;
// under Wine (which answers 0 there) the live entries of the process's GDI
// handle table, found through the PEB.
DWORD CountGdiObjects();
// One line of a log file of ZENTO_LOG: "YYYY-MM-DD HH:MM:SS.mmm level thread text".
struct LogLine {
    int level = -1;
    std::string text;  // after time, level and thread id ("<malformed> ..." otherwise)
};
// Every line of every file matching pattern in folder (files in name order).
std::vector<LogLine> ReadLogLines(const std::wstring& folder, const std::wstring& pattern = L"*.log");
// The folder of the running program.
std::wstring ProgramFolder();

// Threads of this process.
DWORD CountThreads();
// One line per thread of this process: id and the module it started in.
std::string DescribeThreads();
// How often each thread of this process was switched in (voluntarily or
// not), by the kernel's own count, keyed by the kernel's thread id: under
// Wine every thread is a Linux task, whose counts /proc keeps. Empty where
// no such count can be read.
std::map<unsigned long, unsigned long long> ThreadSwitches();
// USER objects: GetGuiResources where counted, otherwise the windows (with
// their children) that belong to this thread.
DWORD CountUserObjects();

// A PIN a test types and later looks for in its own process's memory. Only
// its masked form is kept, so a clear copy the scan finds is one the code
// under test made and left behind. Ten characters of four classes (strong).
class SecretPin {
public:
    static constexpr size_t kLength = 10;
    SecretPin();
    // The clear PIN into out[0..kLength] (zero-terminated); wipe it after use.
    void Reveal(wchar_t (&out)[kLength + 1]) const;
    // Whether a clear copy is anywhere in this process: as UTF-16, or one
    // byte a character (UTF-8, the code page).
    bool FoundInProcessMemory() const;

private:
    wchar_t m_masked_[kLength];
};

// Pumps this thread's messages until cond() holds or the deadline passes.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = 5000);
void PumpMessages();

}  // namespace testsupport
