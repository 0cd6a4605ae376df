// A screen reader listening to this process from a second one
// (LumoraScreenReader.exe beside the test): what it heard, one line per
// spoken event ("focus  push button  "关闭"  [focused]"). It asks for every
// object across the process boundary, so this thread must pump messages
// while it listens (WaitQuiet does).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace reader {

class ReaderClient {
public:
    ReaderClient();
    ~ReaderClient();
    ReaderClient(const ReaderClient&) = delete;
    ReaderClient& operator=(const ReaderClient&) = delete;

    // Listening to this process.
    bool ok() const { return m_process_ != nullptr; }
    // Everything heard so far.
    std::vector<std::wstring> Lines() const;
    // What was heard since the last Mark().
    void Mark() { m_mark_ = Lines().size(); }
    std::vector<std::wstring> SinceMark() const;
    // Pumps this thread's messages until nothing new was heard for quietMs;
    // false when it did not fall quiet before the deadline.
    bool WaitQuiet(DWORD quietMs = 500, DWORD timeoutMs = 15000);
    // Pumps until a line starting with `prefix` was heard since the mark.
    bool WaitHeard(const std::wstring& prefix, DWORD timeoutMs = 10000);

private:
    testsupport::TempDir m_dir_{L"reader"};
    HANDLE m_process_ = nullptr;
    DWORD m_thread_ = 0;
    size_t m_mark_ = 0;
};

// Digits as '#', so dates and day counts of certificates made today read
// the same on any day.
std::wstring WithoutDigits(const std::wstring& line);
// The lines as one text, a newline after each, digits hidden if asked.
std::wstring Transcript(const std::vector<std::wstring>& lines, bool hideDigits = true);
// A checked-in transcript (tests/<relative path>), its lines as written.
std::wstring ExpectedTranscript(const std::wstring& relativePath);

}  // namespace reader
