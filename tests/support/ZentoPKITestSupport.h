// Helpers for tests that use the PKI stand-ins: the generated certificate and
// token fixtures, openssl's answer files, and a fixture base that proves every test leaves no live handle or buffer.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "Cert/Cert_Util.h"
#include "Cert/PkiOwners.h"
#include "ZentoPKIHost.h"
#include "TestSupport.h"

namespace pkitest {

inline std::wstring CertsDir()
{
    return testsupport::FixturesDir() + L"\\certs";
}
inline std::wstring TokensDir()
{
    return testsupport::FixturesDir() + L"\\tokens";
}
inline std::wstring CertFile(const std::wstring& name)
{
    return CertsDir() + L"\\" + name + L".cer";
}

// One line of an answer file written by tests/fixtures/gen-certs.sh.
struct OpensslAnswer {
    std::wstring path;
    std::string sha1, sha256, serial;
    std::wstring subjectDisplay, issuerDisplay;
    std::string notAfter, endDateUtc, endDateEast8, keyUsage;
    int isCa = 0;
};

inline std::vector<OpensslAnswer> ReadAnswers(const std::wstring& file)
{
    std::vector<OpensslAnswer> out;
    std::string text;
    if (!testsupport::ReadFileBytes(file, text)) return out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
        if (f.size() != 11) continue;
        out.push_back({testsupport::FromUtf8(f[0]), f[1], f[2], f[3], testsupport::FromUtf8(f[4]),
                       testsupport::FromUtf8(f[5]), f[6], f[7], f[8], f[9], atoi(f[10].c_str())});
    }
    return out;
}

// Hours east of UTC of the machine's zone now (0 or 8 in our two runs).
inline int LocalHoursEast()
{
    TIME_ZONE_INFORMATION tz;
    DWORD mode = GetTimeZoneInformation(&tz);
    long bias = tz.Bias + (mode == TIME_ZONE_ID_DAYLIGHT ? tz.DaylightBias : 0);
    return static_cast<int>(-bias / 60);
}

// Owners of library handles: the product's own.
using Cert = Pki::ScopedCertificate;
using Device = Pki::ScopedDevice;

inline unsigned long LoadCert(const std::wstring& path)
{
    std::string bytes;
    if (!testsupport::ReadFileBytes(path, bytes) || bytes.empty()) return 0;
    return ZentoPKICertNewCert(reinterpret_cast<const unsigned char*>(bytes.data()),
                               static_cast<unsigned long>(bytes.size()));
}

// Whole days left of a generated certificate by the machine's own
// arithmetic (for tests that link the plug-in's certificate helpers).
inline int RemainDays(const std::wstring& name)
{
    Cert cert(LoadCert(CertFile(name)));
    int days = -1;
    EXPECT_TRUE(Cert_Util::GetCertRemainDays(cert.get(), &days)) << "not within the window";
    return days;
}

using testsupport::CopyTree;

// A token store folder (made when missing) holding copies of fixture tokens.
inline bool MakeTokenStore(const std::wstring& store, std::initializer_list<const wchar_t*> tokens)
{
    if (!CreateDirectoryW(store.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    for (const wchar_t* token : tokens) {
        if (!CopyTree(TokensDir() + L"\\" + token, store + L"\\" + token)) return false;
    }
    return true;
}

// Base for every test that touches the libraries: after the test no handle,
// buffer or time may be alive, and no free may have been refused beyond the
// ones the test provoked on purpose (m_expectedBadFrees_).
class PkiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_badFreesBefore_ = ZentoPKIGetBadFreeCount() + zento_time_badfreecount();
        ASSERT_EQ(0, ZentoPKIGetLiveObjectCount()) << "a previous test leaked";
        ASSERT_EQ(0, zento_time_livecount()) << "a previous test leaked";
    }
    void TearDown() override
    {
        EXPECT_EQ(0, ZentoPKIGetLiveObjectCount()) << "PKI handles or buffers left alive";
        EXPECT_EQ(0, zento_time_livecount()) << "time values left alive";
        EXPECT_EQ(m_badFreesBefore_ + m_expectedBadFrees_,
                  ZentoPKIGetBadFreeCount() + zento_time_badfreecount())
            << "a handle or buffer was freed that was not alive";
    }
    long m_expectedBadFrees_ = 0;

private:
    long m_badFreesBefore_ = 0;
};

}  // namespace pkitest
