// Device records and certificate grouping over real token folders.
#include <gtest/gtest.h>

#include "ZentoPKITestSupport.h"
#include "Cert/Cert_Util.h"
#include "Cert/DeviceRecord.h"
#include "ZentoPKIHost.h"

using namespace pkitest;

namespace {

unsigned long OpenToken(const wchar_t* name)
{
    return ZentoPKIHostOpenDevice((TokensDir() + L"\\" + name).c_str());
}

std::string Sha1(unsigned long cert)
{
    return Cert_Util::GetCertSha1Hex(cert);
}

std::string FileSha1(const wchar_t* name)
{
    Cert cert(LoadCert(CertFile(name)));
    return Sha1(cert.get());
}

// Groups as lists of fixture names, found by thumbprint.
std::vector<std::vector<std::string>> Describe(const std::vector<CertGroup>& groups,
                                               const std::vector<const wchar_t*>& names)
{
    std::vector<std::pair<std::string, std::string>> known;
    for (auto* n : names) known.emplace_back(FileSha1(n), testsupport::ToUtf8(n));
    std::vector<std::vector<std::string>> out;
    for (const auto& g : groups) {
        std::vector<std::string> members;
        for (unsigned long c : g.certificates) {
            std::string name = "?";
            for (const auto& k : known)
                if (k.first == Sha1(c)) name = k.second;
            members.push_back(name);
        }
        out.push_back(members);
    }
    return out;
}

class DeviceRecords : public PkiTest {
protected:
    void TearDown() override
    {
        DeviceRecordList::Instance().Clear();
        PkiTest::TearDown();
    }
    DeviceRecordList& List() { return DeviceRecordList::Instance(); }
};

using Groups = std::vector<std::vector<std::string>>;

}  // namespace

TEST_F(DeviceRecords, ListKeepsHostOrder)
{
    EXPECT_EQ(0, List().AddDevice(0));
    EXPECT_EQ(0, List().Count());
    ASSERT_EQ(1, List().AddDevice(OpenToken(L"lisi")));      // B
    ASSERT_EQ(1, List().AddDevice(OpenToken(L"zhangsan")));  // A
    ASSERT_EQ(2, List().Count());
    EXPECT_EQ(L"zt2026000b", Cert_Util::GetDeviceSerialNumber(List().At(0)->device));
    EXPECT_EQ(L"ZT2026000A", Cert_Util::GetDeviceSerialNumber(List().At(1)->device));
    EXPECT_EQ(nullptr, List().At(2));
    EXPECT_EQ(nullptr, List().At(-1));
}

TEST_F(DeviceRecords, CertificatesInKeypairThenIndexOrder)
{
    DeviceRecord record;
    EXPECT_EQ(1, record.LoadDeviceCertificates(OpenToken(L"lisi")));
    // kp0: signing and encryption, kp1: mixed, kp2: no certificate.
    ASSERT_EQ(3u, record.certificates.size());
    EXPECT_EQ(FileSha1(L"sign_10d_li"), Sha1(record.certificates[0]));
    EXPECT_EQ(FileSha1(L"enc_10d"), Sha1(record.certificates[1]));
    EXPECT_EQ(FileSha1(L"mixed_45d"), Sha1(record.certificates[2]));
    // Loading again drops what the record held first.
    EXPECT_EQ(1, record.LoadDeviceCertificates(OpenToken(L"zhangsan")));
    EXPECT_EQ(3u, record.certificates.size());
    EXPECT_EQ(L"ZT2026000A", Cert_Util::GetDeviceSerialNumber(record.device));
    record.ReleaseDeviceRecord();
    EXPECT_EQ(0UL, record.device);
    EXPECT_TRUE(record.certificates.empty());
    EXPECT_EQ(0, ZentoPKIGetLiveObjectCount());
}

TEST_F(DeviceRecords, DeviceWithoutKeypairIsListedAndFreedAtNextRefresh)
{
    ASSERT_EQ(1, List().AddDevice(OpenToken(L"empty")));
    ASSERT_EQ(1, List().Count());
    EXPECT_NE(0UL, List().At(0)->device);
    EXPECT_TRUE(List().At(0)->certificates.empty());
    EXPECT_TRUE(GroupCertificates(*List().At(0)).empty());

    DeviceRecord record;
    EXPECT_EQ(0, record.LoadDeviceCertificates(OpenToken(L"empty")));
    EXPECT_NE(0UL, record.device);
}

TEST_F(DeviceRecords, UnreadableCertificateIsSkipped)
{
    ASSERT_EQ(1, List().AddDevice(OpenToken(L"damaged")));
    const auto& certs = List().At(0)->certificates;
    ASSERT_EQ(2u, certs.size());
    EXPECT_EQ(FileSha1(L"sign_1y"), Sha1(certs[0]));
    EXPECT_EQ(FileSha1(L"enc_1y"), Sha1(certs[1]));
}

TEST_F(DeviceRecords, RefreshingTwiceFreesEveryHandleOnce)
{
    List().Clear();  // on an empty list: nothing happens
    EXPECT_EQ(0, List().Count());
    long badBefore = ZentoPKIGetBadFreeCount();
    for (int refresh = 0; refresh < 2; ++refresh) {
        SCOPED_TRACE(refresh);
        List().Clear();
        EXPECT_EQ(0, ZentoPKIGetLiveObjectCount());
        for (const wchar_t* token : {L"zhangsan", L"lisi", L"empty", L"expiring"}) {
            EXPECT_EQ(1, List().AddDevice(OpenToken(token)));
        }
        // 4 devices; 3 + 3 + 0 + 3 certificates; no key pair or buffer left open.
        EXPECT_EQ(4 + 9, ZentoPKIGetLiveObjectCount());
    }
    List().Clear();
    EXPECT_EQ(0, ZentoPKIGetLiveObjectCount());
    EXPECT_EQ(badBefore, ZentoPKIGetBadFreeCount()) << "a handle was freed twice";
}

TEST_F(DeviceRecords, SigningAndEncryptionPairGroupTogether)
{
    ASSERT_EQ(1, List().AddDevice(OpenToken(L"zhangsan")));  // S1, E1, S2
    auto groups = GroupCertificates(*List().At(0));
    EXPECT_EQ((Groups{{"sign_1y", "enc_1y"}, {"sign_10d"}}),
              Describe(groups, {L"sign_1y", L"enc_1y", L"sign_10d"}));
    ASSERT_EQ(1, List().AddDevice(OpenToken(L"lisi")));
    EXPECT_EQ((Groups{{"sign_10d_li", "enc_10d"}, {"mixed_45d"}}),
              Describe(GroupCertificates(*List().At(1)), {L"sign_10d_li", L"enc_10d", L"mixed_45d"}));
}

TEST_F(DeviceRecords, GroupsFollowFirstMembersAndTakeLaterMatches)
{
    // A, B, A' where A and A' belong together: [A, A'], [B].
    Cert a(LoadCert(CertFile(L"sign_1y"))), b(LoadCert(CertFile(L"sign_10d_li")));
    Cert a2(LoadCert(CertFile(L"enc_1y"))), again(LoadCert(CertFile(L"sign_1y")));
    DeviceRecord record;  // grouping reads the list only
    record.certificates = {a.get(), b.get(), a2.get(), again.get()};  // duplicates are kept
    auto groups = GroupCertificates(record);
    EXPECT_EQ((Groups{{"sign_1y", "enc_1y", "sign_1y"}, {"sign_10d_li"}}),
              Describe(groups, {L"sign_1y", L"sign_10d_li", L"enc_1y"}));
    EXPECT_TRUE(GroupCertificates(DeviceRecord()).empty());
}

// Which subjects and ends group is seen in the groupings above; the rule's own edges here.
TEST_F(DeviceRecords, SameGroupIsSymmetricAndNeverHoldsAMissingCertificate)
{
    Cert s1(LoadCert(CertFile(L"sign_1y")));
    Cert e1(LoadCert(CertFile(L"enc_1y")));
    EXPECT_TRUE(IsSameCertGroup(e1.get(), s1.get()));
    EXPECT_FALSE(IsSameCertGroup(0, s1.get()));
    EXPECT_FALSE(IsSameCertGroup(s1.get(), 0));
}

TEST_F(DeviceRecords, EndsAreOnlyComparedWhenAttribute30IsRead)
{
    // Same readable subject, different ends. When attribute 30 cannot be
    // read, attribute 31 is not read either: both ends compare as empty and
    // the two certificates group, although their real ends differ.
    Cert s1(LoadCert(CertFile(L"sign_1y")));
    Cert s2(LoadCert(CertFile(L"sign_10d")));
    Cert li(LoadCert(CertFile(L"sign_10d_li")));
    std::wstring subject1, subject2;
    ASSERT_TRUE(Cert_Util::GetCertStringAttribute(s1.get(), ZENTO_CERT_ATTR_SUBJECT, subject1));
    ASSERT_TRUE(Cert_Util::GetCertStringAttribute(s2.get(), ZENTO_CERT_ATTR_SUBJECT, subject2));
    ASSERT_FALSE(subject1.empty());
    ASSERT_EQ(subject1, subject2);
    ASSERT_FALSE(IsSameCertGroup(s1.get(), s2.get()));

    struct FailAttribute30 {
        FailAttribute30() { ZentoPKIHostFailStringAttribute(ZENTO_CERT_ATTR_VALID_TO); }
        ~FailAttribute30() { ZentoPKIHostFailStringAttribute(0); }
    } failing;
    std::wstring text;
    ASSERT_FALSE(Cert_Util::GetCertStringAttribute(s1.get(), ZENTO_CERT_ATTR_VALID_TO, text));
    ASSERT_TRUE(Cert_Util::GetCertStringAttribute(s1.get(), ZENTO_CERT_ATTR_VALID_TO_2, text));
    EXPECT_TRUE(IsSameCertGroup(s1.get(), s2.get()));
    EXPECT_TRUE(IsSameCertGroup(s2.get(), s1.get()));
    // The subject still decides.
    EXPECT_FALSE(IsSameCertGroup(s1.get(), li.get()));
}
