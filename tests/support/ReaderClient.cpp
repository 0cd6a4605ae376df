// The second-process screen reader; see ReaderClient.h.
#include "ReaderClient.h"

namespace reader {

namespace {

std::wstring OutputFile(const testsupport::TempDir& dir) { return dir.File(L"heard.txt"); }

size_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
}

}  // namespace

ReaderClient::ReaderClient()
{
    const std::wstring ready = L"LumoraReaderReady-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                               std::to_wstring(::GetTickCount());
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    if (!event) return;
    std::wstring command = L"\"" + testsupport::ProgramFolder() + L"\\LumoraScreenReader.exe\" " +
                           std::to_wstring(::GetCurrentProcessId()) + L" \"" + OutputFile(m_dir_) + L"\" " + ready;
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        HANDLE waits[2] = {event, pi.hProcess};
        if (::WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0) {
            m_process_ = pi.hProcess;
            m_thread_ = pi.dwThreadId;
        } else {
            ::TerminateProcess(pi.hProcess, 1);
            ::CloseHandle(pi.hProcess);
        }
    }
    ::CloseHandle(event);
}

ReaderClient::~ReaderClient()
{
    if (!m_process_) return;
    ::PostThreadMessageW(m_thread_, WM_QUIT, 0, 0);
    // It may be asking this thread for an object right now: keep answering.
    if (!testsupport::WaitFor([this] { return ::WaitForSingleObject(m_process_, 0) == WAIT_OBJECT_0; }, 10000))
        ::TerminateProcess(m_process_, 1);
    ::CloseHandle(m_process_);
}

std::vector<std::wstring> ReaderClient::Lines() const
{
    std::string bytes;
    testsupport::ReadFileBytes(OutputFile(m_dir_), bytes);
    std::vector<std::wstring> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) break;  // a line still being written
        lines.push_back(testsupport::FromUtf8(bytes.substr(pos, end - pos)));
        pos = end + 1;
    }
    return lines;
}

std::vector<std::wstring> ReaderClient::SinceMark() const
{
    std::vector<std::wstring> lines = Lines();
    if (m_mark_ >= lines.size()) return {};
    return std::vector<std::wstring>(lines.begin() + static_cast<long>(m_mark_), lines.end());
}

bool ReaderClient::WaitQuiet(DWORD quietMs, DWORD timeoutMs)
{
    const std::wstring path = OutputFile(m_dir_);
    size_t size = FileSize(path);
    DWORD since = ::GetTickCount();
    return testsupport::WaitFor(
        [&] {
            const size_t now = FileSize(path);
            if (now != size) {
                size = now;
                since = ::GetTickCount();
            }
            return ::GetTickCount() - since >= quietMs;
        },
        timeoutMs);
}

bool ReaderClient::WaitHeard(const std::wstring& prefix, DWORD timeoutMs)
{
    return testsupport::WaitFor(
        [&] {
            for (const std::wstring& line : SinceMark())
                if (line.compare(0, prefix.size(), prefix) == 0) return true;
            return false;
        },
        timeoutMs);
}

std::wstring WithoutDigits(const std::wstring& line)
{
    std::wstring out = line;
    for (wchar_t& c : out)
        if (c >= L'0' && c <= L'9') c = L'#';
    return out;
}

std::wstring Transcript(const std::vector<std::wstring>& lines, bool hideDigits)
{
    std::wstring text;
    for (const std::wstring& line : lines) text += (hideDigits ? WithoutDigits(line) : line) + L"\n";
    return text;
}

std::wstring ExpectedTranscript(const std::wstring& relativePath)
{
    std::string bytes;
    testsupport::ReadFileBytes(testsupport::SourceDir() + L"\\tests\\" + relativePath, bytes);
    std::wstring text = testsupport::FromUtf8(bytes);
    std::wstring out;
    for (wchar_t c : text)
        if (c != L'\r') out += c;
    return out;
}

}  // namespace reader
