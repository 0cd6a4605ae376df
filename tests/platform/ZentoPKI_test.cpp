// The PKI stand-ins through their exports only.
#include <gtest/gtest.h>

#include "ZentoPKIHost.h"
#include "ZentoPKITestSupport.h"

using namespace pkitest;
using testsupport::TempDir;

namespace {

// Reads a string attribute as the library gives it; "<failed>" when it fails.
std::string StringAttr(unsigned long cert, int id)
{
    char* p = nullptr;
    if (ZentoPKICertGetCertStringAttribute(cert, id, &p) != 1) return "<failed>";
    std::string s = p ? p : "<null>";
    EXPECT_EQ(1, ZentoPKICryptoFreeMemory(p));
    return s;
}

class ZentoPKICertificates : public PkiTest {};

}  // namespace

// DER and PEM are written by the product and read back in its own tests (export, do-not-remind markers).
TEST_F(ZentoPKICertificates, UnknownEncodingsAndJunkAreRefused)
{
    Cert cert(LoadCert(CertFile(L"enc_1y")));
    unsigned char* bytes = reinterpret_cast<unsigned char*>(1);
    unsigned long n = 0;
    EXPECT_EQ(0, ZentoPKICertGetCertEncode(cert.get(), 1, &bytes, &n));
    EXPECT_EQ(nullptr, bytes);
    const unsigned char junk[] = {0x30, 0x03, 0x02, 0x01, 0x01};
    EXPECT_EQ(0UL, ZentoPKICertNewCert(junk, sizeof(junk)));
    EXPECT_EQ(0UL, ZentoPKICertNewCert(nullptr, 10));
}

TEST_F(ZentoPKICertificates, DuplicateIsIndependentAndDoubleFreeIsRefused)
{
    unsigned long original = LoadCert(CertFile(L"sign_1y"));
    ASSERT_NE(0UL, original);
    unsigned long copy = ZentoPKICertDupCert(original);
    ASSERT_NE(0UL, copy);
    EXPECT_NE(original, copy);
    EXPECT_EQ(2, ZentoPKIGetLiveObjectCount());
    EXPECT_EQ(1, ZentoPKICertFreeCert(original));
    EXPECT_NE("<failed>", StringAttr(copy, ZENTO_CERT_ATTR_SERIAL)) << "the copy must outlive the original";
    long before = ZentoPKIGetBadFreeCount();
    EXPECT_EQ(0, ZentoPKICertFreeCert(original));
    EXPECT_EQ(before + 1, ZentoPKIGetBadFreeCount());
    EXPECT_EQ(0UL, ZentoPKICertDupCert(original));
    EXPECT_EQ(1, ZentoPKICertFreeCert(copy));

    char* text = nullptr;
    ASSERT_EQ(1, ZentoPKICryptoGetNameFromType(1) != nullptr);
    unsigned char b = 1;
    ASSERT_EQ(1, ZentoPKICryptoHexEncode(1, &b, 1, &text, nullptr));
    EXPECT_EQ(1, ZentoPKICryptoFreeMemory(text));
    EXPECT_EQ(0, ZentoPKICryptoFreeMemory(text));
    EXPECT_EQ(0, ZentoPKICryptoFreeMemory(&b));
    EXPECT_EQ(before + 3, ZentoPKIGetBadFreeCount());
    m_expectedBadFrees_ = 3;
}

class ZentoPKITokens : public PkiTest {};

TEST_F(ZentoPKITokens, PinChangeRetriesAndLock)
{
    TempDir dir(L"pki_pin");
    std::wstring token = dir.Path() + L"\\lisi";  // PIN 1234, 3 of 10 retries left
    ASSERT_TRUE(CopyTree(TokensDir() + L"\\lisi", token));
    Device device(ZentoPKIHostOpenDevice(token.c_str()));
    ASSERT_NE(0UL, device.get());

    // The right PIN changes it and restores the full retry count.
    int retries = -1;
    ASSERT_EQ(1, ZentoPKICryptoChangePwd(device.get(), 1, "1234", "n3w-PIN", &retries));
    EXPECT_EQ(10, retries);
    // The old PIN no longer works; the new one does (on a fresh handle too).
    retries = -1;
    EXPECT_EQ(0, ZentoPKICryptoChangePwd(device.get(), 1, "1234", "abcd", &retries));
    EXPECT_EQ(9, retries);
    {
        Device again(ZentoPKIHostOpenDevice(token.c_str()));
        retries = -1;
        EXPECT_EQ(1, ZentoPKICryptoChangePwd(again.get(), 1, "n3w-PIN", "second", &retries));
        EXPECT_EQ(10, retries);
    }
    // Refused before the PIN is looked at: no retry is spent, none reported.
    retries = -1;
    EXPECT_EQ(0, ZentoPKICryptoChangePwd(device.get(), 2, "second", "abcd", &retries));
    EXPECT_EQ(0, ZentoPKICryptoChangePwd(device.get(), 1, "second", "abc", &retries));
    EXPECT_EQ(0, ZentoPKICryptoChangePwd(device.get(), 1, "second", std::string(33, 'x').c_str(), &retries));
    EXPECT_EQ(-1, retries);

    // Wrong PINs count down to 0, and 0 locks for good.
    for (int expected = 9; expected >= 0; --expected) {
        SCOPED_TRACE(expected);
        retries = -1;
        EXPECT_EQ(0, ZentoPKICryptoChangePwd(device.get(), 1, "wrong", "abcd", &retries));
        EXPECT_EQ(expected, retries);
    }
    retries = -1;
    EXPECT_EQ(0, ZentoPKICryptoChangePwd(device.get(), 1, "second", "abcd", &retries));
    EXPECT_EQ(0, retries);
    Device reopened(ZentoPKIHostOpenDevice(token.c_str()));
    retries = -1;
    EXPECT_EQ(0, ZentoPKICryptoChangePwd(reopened.get(), 1, "second", "abcd", &retries));
    EXPECT_EQ(0, retries);
}
