// ZENTO_CRYPTO: certificate handles and their attributes, over crypt32 and
// bcrypt. All parsing of X.509 is Windows' own; this file only picks fields
// and shapes the answers (see Cert/ZentoPKI.h for the attribute ids).
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Guard.h"
#include "ObjectTable.h"
#include "Utf8.h"
#include "Cert/ZentoPKI.h"
#include "ZentoPKIHost.h"

using namespace zento;

namespace {

// See ZentoPKIHostFailStringAttribute and ZentoPKIHostFailEncode.
std::atomic<int> g_failedStringAttribute{0};
std::atomic<int> g_failedEncodeForm{0};

struct AlgorithmDeleter {
    void operator()(void* alg) const
    {
        if (alg) BCryptCloseAlgorithmProvider(alg, 0);
    }
};
struct HashDeleter {
    void operator()(void* hash) const
    {
        if (hash) BCryptDestroyHash(hash);
    }
};

struct LocalFreeDeleter {
    void operator()(void* p) const
    {
        if (p) LocalFree(p);
    }
};

// Runs fn with the live certificate context, under the table lock.
template <class F>
bool WithCertificate(unsigned long certificate, F&& fn)
{
    auto& table = ObjectTable::Instance();
    auto lock = table.Lock();
    PkiObject* object = table.Find(certificate, ObjectKind::Certificate);
    if (!object || !object->certificate) return false;
    fn(object->certificate.get());
    return true;
}

std::wstring NameString(PCCERT_CONTEXT cert, DWORD type, DWORD flags, const void* para)
{
    DWORD n = CertGetNameStringW(cert, type, flags, const_cast<void*>(para), nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring out(n, L'\0');
    CertGetNameStringW(cert, type, flags, const_cast<void*>(para), &out[0], n);
    out.resize(wcslen(out.c_str()));
    return out;
}

std::wstring SubjectAttribute(PCCERT_CONTEXT cert, const char* oid)
{
    return NameString(cert, CERT_NAME_ATTR_TYPE, 0, oid);
}

std::string FileTimeText(const FILETIME& ft)
{
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st)) return std::string();
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%04u%02u%02u%02u%02u%02uZ", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return buf;
}

std::string SerialHex(PCCERT_CONTEXT cert)
{
    const CRYPT_INTEGER_BLOB& serial = cert->pCertInfo->SerialNumber;
    // crypt32 keeps the serial little-endian; print it big-endian, without
    // the sign-padding zero bytes that DER adds, as the usual tools show it.
    std::string hex;
    bool leading = true;
    for (DWORD i = serial.cbData; i > 0; --i) {
        BYTE b = serial.pbData[i - 1];
        if (leading && b == 0 && i > 1) continue;
        leading = false;
        char buf[3];
        std::snprintf(buf, sizeof(buf), "%02X", b);
        hex += buf;
    }
    return hex.empty() ? "00" : hex;
}

std::wstring FullSubject(PCCERT_CONTEXT cert)
{
    CERT_NAME_BLOB* name = &cert->pCertInfo->Subject;
    // No quoting: the plug-in compares and shows the values as they are.
    DWORD type = CERT_X500_NAME_STR | CERT_NAME_STR_NO_QUOTING_FLAG;
    DWORD n = CertNameToStrW(X509_ASN_ENCODING, name, type, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring out(n, L'\0');
    CertNameToStrW(X509_ASN_ENCODING, name, type, &out[0], n);
    out.resize(wcslen(out.c_str()));
    return out;
}

bool StringAttribute(PCCERT_CONTEXT cert, int id, std::string& out)
{
    std::wstring w;
    switch (id) {
        case ZENTO_CERT_ATTR_ISSUER_DISPLAY_NAME:
            w = NameString(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG, nullptr);
            break;
        case ZENTO_CERT_ATTR_SUBJECT:
            w = FullSubject(cert);
            break;
        case ZENTO_CERT_ATTR_SUBJECT_DISPLAY_NAME:
            w = NameString(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr);
            break;
        case ZENTO_CERT_ATTR_COUNTRY:
            w = SubjectAttribute(cert, szOID_COUNTRY_NAME);
            break;
        case ZENTO_CERT_ATTR_ORGANIZATION:
            w = SubjectAttribute(cert, szOID_ORGANIZATION_NAME);
            break;
        case ZENTO_CERT_ATTR_UNIT:
            w = SubjectAttribute(cert, szOID_ORGANIZATIONAL_UNIT_NAME);
            break;
        case ZENTO_CERT_ATTR_PROVINCE:
            w = SubjectAttribute(cert, szOID_STATE_OR_PROVINCE_NAME);
            break;
        case ZENTO_CERT_ATTR_LOCALITY:
            w = SubjectAttribute(cert, szOID_LOCALITY_NAME);
            if (w.empty()) w = SubjectAttribute(cert, szOID_STREET_ADDRESS);
            break;
        case ZENTO_CERT_ATTR_EMAIL:
            w = NameString(cert, CERT_NAME_EMAIL_TYPE, 0, nullptr);
            break;
        case ZENTO_CERT_ATTR_FRIENDLY_NAME:
            w = NameString(cert, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr);
            break;
        case ZENTO_CERT_ATTR_VALID_FROM:
            out = FileTimeText(cert->pCertInfo->NotBefore);
            return !out.empty();
        case ZENTO_CERT_ATTR_VALID_TO:
        case ZENTO_CERT_ATTR_VALID_TO_2:
            out = FileTimeText(cert->pCertInfo->NotAfter);
            return !out.empty();
        case ZENTO_CERT_ATTR_SERIAL:
            out = SerialHex(cert);
            return true;
        default:
            return false;
    }
    out = ToUtf8(w);
    return !out.empty();
}

bool KeyUsageBits(PCCERT_CONTEXT cert, long& bits)
{
    BYTE usage[2] = {0, 0};
    if (!CertGetIntendedKeyUsage(X509_ASN_ENCODING, cert->pCertInfo, usage, sizeof(usage))) return false;
    // crypt32 gives the DER bit string (digitalSignature is the top bit of
    // the first byte); turn it into X.509 bit numbers.
    bits = 0;
    for (int n = 0; n < 8; ++n) {
        if (usage[0] & (0x80 >> n)) bits |= 1L << n;
    }
    if (usage[1] & 0x80) bits |= 1L << 8;
    return true;
}

bool IsCertificateAuthority(PCCERT_CONTEXT cert, long& value)
{
    value = 0;
    PCERT_EXTENSION ext = CertFindExtension(szOID_BASIC_CONSTRAINTS2, cert->pCertInfo->cExtension,
                                            cert->pCertInfo->rgExtension);
    if (!ext) return true;
    CERT_BASIC_CONSTRAINTS2_INFO* info = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_BASIC_CONSTRAINTS2, ext->Value.pbData, ext->Value.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &size))
        return false;
    std::unique_ptr<void, LocalFreeDeleter> hold(info);
    value = info->fCA ? 1 : 0;
    return true;
}

bool HashCertificate(PCCERT_CONTEXT cert, int algorithm, std::string& digest)
{
    const wchar_t* name = algorithm == ZENTO_HASH_SHA1     ? BCRYPT_SHA1_ALGORITHM
                          : algorithm == ZENTO_HASH_SHA256 ? BCRYPT_SHA256_ALGORITHM
                                                           : nullptr;
    if (!name) return false;
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&alg, name, nullptr, 0))) return false;
    std::unique_ptr<void, AlgorithmDeleter> holdAlg(alg);
    DWORD objectSize = 0, hashSize = 0, got = 0;
    if (!BCRYPT_SUCCESS(BCryptGetProperty(alg, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                          sizeof(objectSize), &got, 0)) ||
        !BCRYPT_SUCCESS(BCryptGetProperty(alg, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&hashSize),
                                          sizeof(hashSize), &got, 0)))
        return false;
    std::string object(objectSize, '\0');
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptCreateHash(alg, &hash, reinterpret_cast<PUCHAR>(&object[0]), objectSize, nullptr, 0, 0)))
        return false;
    std::unique_ptr<void, HashDeleter> holdHash(hash);
    digest.assign(hashSize, '\0');
    return BCRYPT_SUCCESS(BCryptHashData(hash, cert->pbCertEncoded, cert->cbCertEncoded, 0)) &&
           BCRYPT_SUCCESS(BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(&digest[0]), hashSize, 0));
}

// Decodes one DER directory string (UTF8String, PrintableString, BMPString,
// ...) to UTF-16.
bool DecodeDirectoryString(const unsigned char* value, unsigned long length, std::wstring& wide)
{
    CERT_NAME_VALUE* decoded = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_UNICODE_ANY_STRING, value, length,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
        return false;
    std::unique_ptr<void, LocalFreeDeleter> hold(decoded);
    if (decoded->dwValueType == CERT_RDN_OCTET_STRING || decoded->dwValueType == CERT_RDN_ENCODED_BLOB)
        return false;  // not a string
    wide.assign(reinterpret_cast<const wchar_t*>(decoded->Value.pbData),
                decoded->Value.cbData / sizeof(wchar_t));
    // Some crypt32 versions count the terminating NUL.
    while (!wide.empty() && wide.back() == L'\0') wide.pop_back();
    return true;
}

}  // namespace

extern "C" {

unsigned long __cdecl ZentoPKICertNewCert(const unsigned char* encoded, unsigned long length)
{
    return Guarded(0UL, [&]() -> unsigned long {
        if (!encoded || length == 0) return 0;
        std::string der(reinterpret_cast<const char*>(encoded), length);
        static const char kPemHeader[] = "-----BEGIN";
        if (length > sizeof(kPemHeader) && std::memcmp(encoded, kPemHeader, sizeof(kPemHeader) - 1) == 0) {
            DWORD size = 0;
            std::string pem(reinterpret_cast<const char*>(encoded), length);
            if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                      nullptr, &size, nullptr, nullptr))
                return 0;
            der.assign(size, '\0');
            if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                      reinterpret_cast<BYTE*>(&der[0]), &size, nullptr, nullptr))
                return 0;
            der.resize(size);
        }
        PCCERT_CONTEXT context = CertCreateCertificateContext(
            X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
        if (!context) return 0;
        PkiObject object;
        object.kind = ObjectKind::Certificate;
        object.certificate.reset(context);
        return ObjectTable::Instance().Add(std::move(object));
    });
}

unsigned long __cdecl ZentoPKICertDupCert(unsigned long certificate)
{
    return Guarded(0UL, [&]() -> unsigned long {
        PCCERT_CONTEXT copy = nullptr;
        auto& table = ObjectTable::Instance();
        auto lock = table.Lock();
        if (!WithCertificate(certificate,
                             [&](PCCERT_CONTEXT c) { copy = CertDuplicateCertificateContext(c); }) ||
            !copy)
            return 0;
        PkiObject object;
        object.kind = ObjectKind::Certificate;
        object.certificate.reset(copy);
        return table.Add(std::move(object));
    });
}

int __cdecl ZentoPKICertFreeCert(unsigned long certificate)
{
    return ObjectTable::Instance().Remove(certificate, ObjectKind::Certificate) ? 1 : 0;
}

int __cdecl ZentoPKIHostFailStringAttribute(int id)
{
    return g_failedStringAttribute.exchange(id);
}

int __cdecl ZentoPKIHostFailEncode(int form)
{
    return g_failedEncodeForm.exchange(form);
}

int __cdecl ZentoPKICertGetCertStringAttribute(unsigned long certificate, int id, char** text)
{
    return Guarded(0, [&]() -> int {
        if (!text) return 0;
        *text = nullptr;
        if (id != 0 && id == g_failedStringAttribute.load()) return 0;
        std::string value;
        bool ok = false;
        if (!WithCertificate(certificate, [&](PCCERT_CONTEXT c) { ok = StringAttribute(c, id, value); }) ||
            !ok)
            return 0;
        *text = NewTextBuffer(value);
        return *text ? 1 : 0;
    });
}

int __cdecl ZentoPKICertGetCertIntegerAttribute(unsigned long certificate, int id, long* value)
{
    return Guarded(0, [&]() -> int {
        if (!value) return 0;
        long v = 0;
        bool ok = false;
        bool live = WithCertificate(certificate, [&](PCCERT_CONTEXT c) {
            if (id == ZENTO_CERT_ATTR_KEY_USAGE)
                ok = KeyUsageBits(c, v);
            else if (id == ZENTO_CERT_ATTR_IS_CA)
                ok = IsCertificateAuthority(c, v);
        });
        if (!live || !ok) return 0;
        *value = v;
        return 1;
    });
}

int __cdecl ZentoPKICertGetCertHashAttribute(unsigned long certificate, int id, int algorithm,
                                             unsigned char** bytes, unsigned long* length)
{
    return Guarded(0, [&]() -> int {
        if (!bytes || !length) return 0;
        *bytes = nullptr;
        *length = 0;
        if (id != ZENTO_CERT_ATTR_THUMBPRINT) return 0;
        std::string digest;
        bool ok = false;
        if (!WithCertificate(certificate,
                             [&](PCCERT_CONTEXT c) { ok = HashCertificate(c, algorithm, digest); }) ||
            !ok)
            return 0;
        *bytes = NewByteBuffer(digest.data(), digest.size());
        if (!*bytes) return 0;
        *length = static_cast<unsigned long>(digest.size());
        return 1;
    });
}

int __cdecl ZentoPKICertFindExtension(unsigned long certificate, const char* oid, int* critical,
                                      unsigned char** value, unsigned long* length)
{
    return Guarded(0, [&]() -> int {
        if (!oid || !value || !length) return 0;
        *value = nullptr;
        *length = 0;
        int result = 0;
        WithCertificate(certificate, [&](PCCERT_CONTEXT c) {
            PCERT_EXTENSION ext = CertFindExtension(oid, c->pCertInfo->cExtension, c->pCertInfo->rgExtension);
            if (!ext) {
                result = ZENTO_PKI_EXTENSION_ABSENT;
                return;
            }
            *value = NewByteBuffer(ext->Value.pbData, ext->Value.cbData);
            if (!*value) return;
            *length = ext->Value.cbData;
            if (critical) *critical = ext->fCritical ? 1 : 0;
            result = 1;
        });
        return result;
    });
}

int __cdecl ZentoPKIDecodeStringExtension(int kind, const unsigned char* value, unsigned long length,
                                          char** text, unsigned long* textLength)
{
    return Guarded(0, [&]() -> int {
        if (!text) return 0;
        *text = nullptr;
        if (textLength) *textLength = 0;
        if (kind != ZENTO_STRING_EXT_DIRECTORY_STRING || !value || length == 0) return 0;
        std::wstring wide;
        if (!DecodeDirectoryString(value, length, wide)) return 0;
        std::string utf8 = ToUtf8(wide);
        *text = NewTextBuffer(utf8);
        if (!*text) return 0;
        if (textLength) *textLength = static_cast<unsigned long>(utf8.size());
        return 1;
    });
}

int __cdecl ZentoPKICertGetCertEncode(unsigned long certificate, int form, unsigned char** bytes,
                                      unsigned long* length)
{
    return Guarded(0, [&]() -> int {
        if (!bytes || !length) return 0;
        *bytes = nullptr;
        *length = 0;
        if (form != ZENTO_ENCODE_DER && form != ZENTO_ENCODE_PEM) return 0;
        if (form == g_failedEncodeForm.load()) return 0;
        std::string encoded;
        bool ok = false;
        WithCertificate(certificate, [&](PCCERT_CONTEXT c) {
            if (form == ZENTO_ENCODE_DER) {
                encoded.assign(reinterpret_cast<const char*>(c->pbCertEncoded), c->cbCertEncoded);
                ok = true;
                return;
            }
            DWORD n = 0;
            if (!CryptBinaryToStringA(c->pbCertEncoded, c->cbCertEncoded, CRYPT_STRING_BASE64HEADER, nullptr,
                                      &n))
                return;
            encoded.assign(n, '\0');
            if (!CryptBinaryToStringA(c->pbCertEncoded, c->cbCertEncoded, CRYPT_STRING_BASE64HEADER,
                                      &encoded[0], &n))
                return;
            encoded.resize(std::strlen(encoded.c_str()));
            ok = true;
        });
        if (!ok) return 0;
        *bytes = NewByteBuffer(encoded.data(), encoded.size());
        if (!*bytes) return 0;
        *length = static_cast<unsigned long>(encoded.size());
        return 1;
    });
}

}  // extern "C"
