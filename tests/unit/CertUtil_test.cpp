// Cert_Util with real certificates through the PKI stand-ins. The binary runs in UTC and in UTC+8 with the
// Chinese code page; expectations that depend on either are chosen from the machine, never skipped.
#include <gtest/gtest.h>

#include "ZentoPKITestSupport.h"
#include "Cert/Cert_Util.h"
#include "UI/UIMainFrame.h"
#include "ZentoPKIHost.h"
#include "SettingsFolders.h"
#include "Utils/Clock.h"
#include "Utils/UserSettings.h"

using namespace pkitest;
using testsupport::FromUtf8;

namespace {

class CertUtil : public PkiTest {
protected:
    void SetUp() override
    {
        PkiTest::SetUp();
        UserSettings::Instance().ResetForTesting();  // RemainDay reads its default, 30
    }
    void TearDown() override
    {
        UserSettings::Instance().ResetForTesting();
        PkiTest::TearDown();
    }
    static std::string Utf8(const std::wstring& w) { return testsupport::ToUtf8(w); }
};

// 2026-12-31 20:30:00 UTC in calendar seconds.
const long long kNewYearsEveUtc = 1798749000LL;

}  // namespace

TEST_F(CertUtil, RowsOfEveryCertificateMatchOpenssl)
{
    auto answers = ReadAnswers(CertsDir() + L"\\bundle.tsv");
    ASSERT_GT(answers.size(), 100u);
    auto generated = ReadAnswers(CertsDir() + L"\\generated.tsv");
    ASSERT_GE(generated.size(), 20u);
    answers.insert(answers.end(), generated.begin(), generated.end());
    bool east8 = LocalHoursEast() == 8;
    for (const auto& a : answers) {
        SCOPED_TRACE(Utf8(a.path));
        Cert cert(LoadCert(a.path));
        ASSERT_NE(0UL, cert.get());
        std::wstring text;
        ASSERT_TRUE(Cert_Util::GetCertThumbprintHex(cert.get(), ZENTO_HASH_SHA1, text));
        EXPECT_EQ(FromUtf8(a.sha1), text);
        ASSERT_TRUE(Cert_Util::GetCertThumbprintHex(cert.get(), ZENTO_HASH_SHA256, text));
        EXPECT_EQ(FromUtf8(a.sha256), text);
        EXPECT_EQ(a.sha1, Cert_Util::GetCertSha1Hex(cert.get()));
        EXPECT_TRUE(Cert_Util::GetCertStringAttribute(cert.get(), ZENTO_CERT_ATTR_SERIAL, text));
        EXPECT_EQ(FromUtf8(a.serial), text);
        EXPECT_TRUE(
            Cert_Util::GetCertStringAttribute(cert.get(), ZENTO_CERT_ATTR_SUBJECT_DISPLAY_NAME, text));
        EXPECT_EQ(a.subjectDisplay, text);
        EXPECT_TRUE(Cert_Util::GetCertStringAttribute(cert.get(), ZENTO_CERT_ATTR_ISSUER_DISPLAY_NAME, text));
        EXPECT_EQ(a.issuerDisplay, text);
        std::wstring start, end;
        EXPECT_TRUE(Cert_Util::GetCertValidityDates(cert.get(), start, end));
        EXPECT_EQ(FromUtf8(east8 ? a.endDateEast8 : a.endDateUtc), end);
        EXPECT_EQ(10u, start.size());
        // Key usage through the role rule: bits within 0x63 sign, within 0x19C encrypt.
        long bits = a.keyUsage == "-" ? 0 : atol(a.keyUsage.c_str());
        EXPECT_EQ(bits != 0 && (bits & ~0x63L) == 0, Cert_Util::IsSignCert(cert.get()));
        EXPECT_EQ(bits != 0 && (bits & ~0x19CL) == 0, Cert_Util::IsEncCert(cert.get()));
        // The library's own answers behind those rules: the end text under both attributes, the raw
        // key usage and the authority flag.
        for (int id : {ZENTO_CERT_ATTR_VALID_TO, ZENTO_CERT_ATTR_VALID_TO_2}) {
            EXPECT_TRUE(Cert_Util::GetCertStringAttribute(cert.get(), id, text));
            EXPECT_EQ(FromUtf8(a.notAfter), text);
        }
        long usage = -1, ca = -1;
        const bool hasUsage = ZentoPKICertGetCertIntegerAttribute(cert.get(), ZENTO_CERT_ATTR_KEY_USAGE, &usage) == 1;
        EXPECT_EQ(a.keyUsage, hasUsage ? std::to_string(usage) : "-");
        EXPECT_EQ(1, ZentoPKICertGetCertIntegerAttribute(cert.get(), ZENTO_CERT_ATTR_IS_CA, &ca));
        EXPECT_EQ(a.isCa, ca);
    }
}

TEST_F(CertUtil, ZeroHandlesAndMissingAttributesGiveEmptyTexts)
{
    std::wstring text = L"stale", start = L"x", end = L"y";
    EXPECT_FALSE(Cert_Util::GetCertStringAttribute(0, ZENTO_CERT_ATTR_SUBJECT, text));
    EXPECT_TRUE(text.empty());
    text = L"stale";
    EXPECT_FALSE(Cert_Util::GetCertThumbprintHex(0, ZENTO_HASH_SHA1, text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ("", Cert_Util::GetCertSha1Hex(0));
    EXPECT_FALSE(Cert_Util::GetCertValidityDates(0, start, end));
    EXPECT_TRUE(start.empty() && end.empty());
    EXPECT_FALSE(Cert_Util::IsSignCert(0));
    EXPECT_FALSE(Cert_Util::IsEncCert(0));
    EXPECT_FALSE(Cert_Util::IsCertExpired(0));
    int days = 5;
    EXPECT_FALSE(Cert_Util::GetCertRemainDays(0, &days));
    EXPECT_EQ(5, days);

    Cert cert(LoadCert(CertFile(L"nousage_1y")));  // no country, no e-mail, no key usage
    text = L"stale";
    EXPECT_FALSE(Cert_Util::GetCertStringAttribute(cert.get(), ZENTO_CERT_ATTR_COUNTRY, text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(Cert_Util::GetCertThumbprintHex(cert.get(), 0x1234, text));
    EXPECT_FALSE(Cert_Util::IsSignCert(cert.get()));
    EXPECT_FALSE(Cert_Util::IsEncCert(cert.get()));
    EXPECT_FALSE(Cert_Util::GetCertRemainDays(cert.get(), nullptr));
}

TEST_F(CertUtil, ProgramIdSurvivesEveryCodePage)
{
    Cert sign(LoadCert(CertFile(L"sign_1y")));
    Cert plain(LoadCert(CertFile(L"nousage_1y")));
    Cert none(LoadCert(CertFile(L"enc_1y")));
    std::wstring text;
    EXPECT_TRUE(Cert_Util::GetUserServiceProgId(sign.get(), text));
    // The suite runs under code pages 1252 and 936: the same text under both.
    EXPECT_EQ(L"用户服务程序-甲", text) << "code page " << GetACP();
    EXPECT_TRUE(Cert_Util::GetUserServiceProgId(plain.get(), text));
    EXPECT_EQ(L"PROG-ID-42", text);
    text = L"stale";
    EXPECT_FALSE(Cert_Util::GetUserServiceProgId(none.get(), text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(Cert_Util::GetUserServiceProgId(0, text));
}

TEST_F(CertUtil, ParseCertTimeReadsLocalTime)
{
    long long east = LocalHoursEast() * 3600LL;
    EXPECT_EQ(kNewYearsEveUtc - east, Cert_Util::ParseCertTime(L"20261231203000Z"));
    EXPECT_EQ(kNewYearsEveUtc - east, Cert_Util::ParseCertTime(L"20261231203000.75Z"));
    EXPECT_EQ(kNewYearsEveUtc - east + 28800, Cert_Util::ParseCertTimeEast8(L"20261231203000Z"));
    // Fourteen characters are too short, for both.
    EXPECT_EQ(0, Cert_Util::ParseCertTime(L"20261231203000"));
    EXPECT_EQ(0, Cert_Util::ParseCertTimeEast8(L"20261231203000"));
    EXPECT_EQ(0, Cert_Util::ParseCertTime(L""));
    // Fields out of range cannot be converted.
    EXPECT_EQ(0, Cert_Util::ParseCertTime(L"20261331203000Z"));
    EXPECT_EQ(0, Cert_Util::ParseCertTime(L"20261231243000Z"));
    EXPECT_EQ(0, Cert_Util::ParseCertTime(L"18991231203000Z"));
    EXPECT_EQ(0, Cert_Util::ParseCertTime(L"2026123120300xZ"));
    // Before 1970 is negative, not a failure.
    EXPECT_LT(Cert_Util::ParseCertTime(L"19500101000000Z"), 0);
}

TEST_F(CertUtil, ToPkiTimeFractionRule)
{
    struct Case {
        const char* text;
        bool valid;
        long fraction;
    } cases[] = {
        {"20261231203000Z", true, 0},
        {"20261231203000.5Z", true, 500000000L},
        {"20261231203000.123456789Z", true, 123456789L},
        {"20261231203000.1234567891Z", true, 123456789L},  // a tenth digit adds nothing
        {"20261231203000.Z", false, 0},                    // 16 characters
        {"20261231203000", false, 0},                      // no Z
        {"20261231203000.5", false, 0},
        {"2026123120300aZ", false, 0},
        {"20261231203000.5aZ", false, 0},
        {"20261231203000,5Z", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        unsigned long t = Cert_Util::ToPkiTime(c.text);
        if (!c.valid) {
            EXPECT_EQ(0UL, t);
            continue;
        }
        ASSERT_NE(0UL, t);
        EXPECT_EQ(2026, zento_time_getyear(t));
        EXPECT_EQ(12, zento_time_getmonth(t));
        EXPECT_EQ(31, zento_time_getday(t));
        EXPECT_EQ(20, zento_time_gethour(t));
        EXPECT_EQ(30, zento_time_getminute(t));
        EXPECT_EQ(0, zento_time_getsecond(t));
        EXPECT_EQ(c.fraction, zento_time_getfraction(t));
        EXPECT_EQ(0, zento_time_islocal(t));
        EXPECT_EQ(1, zento_time_free(t));
    }
    // No text at all is now.
    unsigned long before = zento_time_nowutctime();
    unsigned long now = Cert_Util::ToPkiTime(nullptr);
    unsigned long after = zento_time_nowutctime();
    ASSERT_NE(0UL, now);
    EXPECT_LE(zento_time_cmp(before, now), 0);
    EXPECT_LE(zento_time_cmp(now, after), 0);
    for (unsigned long t : {before, now, after}) EXPECT_EQ(1, zento_time_free(t));
}

TEST_F(CertUtil, ExpiryUsesAttribute30AndTheAuthorityFlag)
{
    struct Case {
        const wchar_t* name;
        bool expired;
    } cases[] = {
        {L"sign_expired", true}, {L"sign_12h", false}, {L"sign_1y", false},
        {L"ca_expired", false},  // attribute 34 is 1: never reported, whatever its dates
        {L"root_ca", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        Cert cert(LoadCert(CertFile(c.name)));
        ASSERT_NE(0UL, cert.get());
        EXPECT_EQ(c.expired, Cert_Util::IsCertExpired(cert.get()));
    }
}

// The moment the product takes as "now", pinned by the test.
long long g_pinnedNow = 0;
long long PinnedNow()
{
    return g_pinnedNow;
}

// Expiry and remaining days against a pinned clock, around the end of one
// real certificate. The end text E is read as UTC for "has it ended", as
// local time plus 8 hours for expiry, and as local time for the counted
// hours, which start from "now minus 8 hours". With the zone's offset east
// (0 or 8 in our two runs) that gives, in seconds after the end's UTC value:
//   expiry at (8 - east) h;  counted hours H at (8 - east) h - H h.
class CertUtilClock : public CertUtil {
protected:
    void SetUp() override
    {
        CertUtil::SetUp();
        m_previous_ = Clock::SetSource(&PinnedNow);
        m_cert_.reset(LoadCert(CertFile(L"sign_1y")));
        ASSERT_NE(0UL, m_cert_.get());
        std::wstring end;
        ASSERT_TRUE(Cert_Util::GetCertStringAttribute(m_cert_.get(), ZENTO_CERT_ATTR_VALID_TO, end));
        SYSTEMTIME st = {};
        ASSERT_EQ(6, swscanf(end.c_str(), L"%4hu%2hu%2hu%2hu%2hu%2hu", &st.wYear, &st.wMonth, &st.wDay, &st.wHour,
                             &st.wMinute, &st.wSecond));
        FILETIME ft;
        ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
        m_endUtc_ = static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32 |
                                            ft.dwLowDateTime) / 10000000ULL) - 11644473600LL;
        const int east = LocalHoursEast();
        ASSERT_TRUE(east == 0 || east == 8) << "run with TZ=UTC or TZ=Asia/Shanghai";
        m_shift_ = (8 - east) * 3600LL;
    }
    void TearDown() override
    {
        Clock::SetSource(m_previous_);
        m_cert_.reset();
        CertUtil::TearDown();
    }
    // Pins the clock so that H counted hours (and `plus` seconds) are left.
    void PinHoursLeft(long long hours, long long plus = 0) { g_pinnedNow = m_endUtc_ + m_shift_ - hours * 3600 + plus; }

    Clock::Source m_previous_ = nullptr;
    Cert m_cert_;
    long long m_endUtc_ = 0;
    long long m_shift_ = 0;
};

TEST_F(CertUtilClock, RemainingDaysAtTheWindowBoundaries)
{
    struct Case {
        long long hours, plus;
        bool result;
        int days;
    } cases[] = {
        {720, 0, false, 0},   // the 30-day window holds 719 hours at most; days is cleared
        {720, 1, true, 29},   // a second later 719 whole hours are left
        {24, 0, true, 1},
        {24, 1, true, 0},     // under a day: the one-day text
        {8, 0, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.hours) + "h +" + std::to_string(c.plus) + "s");
        PinHoursLeft(c.hours, c.plus);
        int days = 99;
        EXPECT_EQ(c.result, Cert_Util::GetCertRemainDays(m_cert_.get(), &days));
        EXPECT_EQ(c.days, days);
    }
    // The window comes from the settings: one day holds 23 hours at most.
    testsupport::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    ASSERT_TRUE(UserSettings::Instance().SetValue(L"RemainDay", L"day", L"1"));
    int days = 99;
    PinHoursLeft(24);
    EXPECT_FALSE(Cert_Util::GetCertRemainDays(m_cert_.get(), &days));
    EXPECT_EQ(0, days);
    PinHoursLeft(24, 1);
    EXPECT_TRUE(Cert_Util::GetCertRemainDays(m_cert_.get(), &days));
}

TEST_F(CertUtilClock, ExpiryAndEndNearTheEndInBothZones)
{
    const bool east8 = m_shift_ == 0;
    // Expiry is due exactly (8 - east) hours after the end's UTC value.
    g_pinnedNow = m_endUtc_ + m_shift_ - 1;
    EXPECT_FALSE(Cert_Util::IsCertExpired(m_cert_.get()));
    g_pinnedNow = m_endUtc_ + m_shift_;
    EXPECT_TRUE(Cert_Util::IsCertExpired(m_cert_.get()));

    struct Case {
        long long offset;          // seconds after the end's UTC value
        bool expiredUtc0, expiredUtc8;
        bool remain;
        int days;                  // after the call (99: untouched)
    } cases[] = {
        {4 * 3600, false, true, false, 99},  // ended 4 h ago: in UTC expiry is still ahead; no days
        {300, false, true, false, 99},       // ended 5 min ago: only the UTC reading keeps it off
        {0, false, true, true, 0},           // the very second: not ended yet, under a day left
        {-4 * 3600, false, false, true, 0},  // ends in 4 h
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        g_pinnedNow = m_endUtc_ + c.offset;
        EXPECT_EQ(east8 ? c.expiredUtc8 : c.expiredUtc0, Cert_Util::IsCertExpired(m_cert_.get()));
        int days = 99;
        EXPECT_EQ(c.remain, Cert_Util::GetCertRemainDays(m_cert_.get(), &days));
        EXPECT_EQ(c.days, days);
    }
}

// Serials and labels of the fixture keys are read in the device-record and screen-reader tests.
TEST_F(CertUtil, DeviceIdentityTexts)
{
    Device li(ZentoPKIHostOpenDevice((TokensDir() + L"\\lisi").c_str()));
    ASSERT_NE(0UL, li.get());
    EXPECT_EQ(L"ZT-KEY 2000 国密", Cert_Util::GetDeviceTypeName(li.get()));
    EXPECT_EQ(L"", Cert_Util::GetDeviceSerialNumber(0));
    EXPECT_EQ(L"", Cert_Util::GetDeviceLabel(0));
    EXPECT_EQ(L"", Cert_Util::GetDeviceTypeName(0));
}

// Export names: every name gets a suffix after it, so only what can escape
// the folder, break the file system or mislead the reader is replaced.
TEST(ExportFileName, ReplacesWhatMisleadsAndKeepsTheRest)
{
    const struct {
        const wchar_t* name;
        const wchar_t* safe;
    } cases[] = {
        {L"a\\b/c:d*e?f\"g<h>i|j", L"a_b_c_d_e_f_g_h_i_j"},
        {L"tab\there\x7F", L"tab_here_"},
        // Right-to-left override, embedding, pop, isolates: "...gpj.exe" must not read as "...exe.jpg".
        {L"photo\x202Egpj.exe", L"photo_gpj.exe"},
        {L"\x202A\x202B\x202C\x202D\x2066\x2067\x2068\x2069", L"________"},
        // Just outside the ranges: marks that reorder nothing stay.
        {L"\x2029\x202F\x2065\x206A", L"\x2029\x202F\x2065\x206A"},
        {L".hidden and trailing. ", L".hidden and trailing. "},
        {L"张三", L"张三"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.safe)));
        EXPECT_EQ(c.safe, SanitizeExportFileName(c.name));
    }
}
