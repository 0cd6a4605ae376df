// Certificate files and texts; see CertExport.h.
#include "Cert/CertExport.h"

#include <windows.h>
#include <wincrypt.h>

#include "Cert/PkiOwners.h"
#include "DuiLib/ScopedWin.h"
#include "Utils/LanguageStrings.h"
#include "Utils/StringConvert.h"

namespace {

struct FormatInfo {
    const wchar_t* text;
    const wchar_t* extension;
    const char* nameKey;
};
const FormatInfo kFormats[kCertFileFormatCount] = {
    {L"DER", L".cer", "STRING_SAVE_CERT_TYPE_DER"},
    {L"Base64", L".cer", "STRING_SAVE_CERT_TYPE_BASE64"},
    {L"PKCS7", L".p7b", "STRING_SAVE_CERT_TYPE_PKCS7"},
};

const FormatInfo& Info(CertFileFormat format)
{
    const int i = static_cast<int>(format);
    return kFormats[i >= 0 && i < kCertFileFormatCount ? i : 0];
}

struct CertStoreTraits {
    using type = HCERTSTORE;
    static type None() noexcept { return nullptr; }
    static void Free(type store) noexcept { ::CertCloseStore(store, 0); }
};
using ScopedCertStore = DuiLib::UniqueResource<CertStoreTraits>;

bool LibraryEncoding(unsigned long certificate, int form, std::string& bytes)
{
    bytes.clear();
    Pki::ScopedBytes encoded;
    unsigned long length = 0;
    if (!certificate ||
        ZentoPKICertGetCertEncode(certificate, form, encoded.put(), &length) != ZENTO_PKI_OK || !encoded ||
        length == 0)
        return false;
    bytes.assign(reinterpret_cast<const char*>(encoded.get()), length);
    return true;
}

// A memory store of the certificates saved as a PKCS #7 message that signs
// nothing and carries them all, as the system's own export writes it.
bool Pkcs7Encoding(const std::vector<unsigned long>& certificates, std::string& bytes)
{
    bytes.clear();
    ScopedCertStore store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!store || certificates.empty()) return false;
    for (unsigned long certificate : certificates) {
        std::string der;
        if (!LibraryEncoding(certificate, ZENTO_ENCODE_DER, der) ||
            !::CertAddEncodedCertificateToStore(
                store.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr))
            return false;
    }
    CRYPT_DATA_BLOB blob = {};
    const DWORD encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
    if (!::CertSaveStore(store.get(), encoding, CERT_STORE_SAVE_AS_PKCS7, CERT_STORE_SAVE_TO_MEMORY, &blob,
                         0) ||
        blob.cbData == 0)
        return false;
    std::string saved(blob.cbData, '\0');
    blob.pbData = reinterpret_cast<BYTE*>(&saved[0]);
    if (!::CertSaveStore(store.get(), encoding, CERT_STORE_SAVE_AS_PKCS7, CERT_STORE_SAVE_TO_MEMORY, &blob,
                         0))
        return false;
    saved.resize(blob.cbData);
    bytes.swap(saved);
    return true;
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

}  // namespace

CertFileFormat CertFileFormatFromText(const std::wstring& text)
{
    for (int i = 0; i < kCertFileFormatCount; ++i) {
        if (text == kFormats[i].text) return static_cast<CertFileFormat>(i);
    }
    return CertFileFormat::Der;
}

const wchar_t* CertFileFormatText(CertFileFormat format)
{
    return Info(format).text;
}

const wchar_t* CertFileExtension(CertFileFormat format)
{
    return Info(format).extension;
}

std::wstring CertFileTypeName(CertFileFormat format)
{
    return GetLanguageString(Info(format).nameKey) + L" (*" + Info(format).extension + L")";
}

bool EncodeCertFile(const std::vector<unsigned long>& certificates, CertFileFormat format, std::string& bytes)
{
    bytes.clear();
    if (certificates.empty()) return false;
    switch (format) {
        case CertFileFormat::Base64:
            return LibraryEncoding(certificates.front(), ZENTO_ENCODE_PEM, bytes);
        case CertFileFormat::Pkcs7:
            return Pkcs7Encoding(certificates, bytes);
        case CertFileFormat::Der:
            break;
    }
    return LibraryEncoding(certificates.front(), ZENTO_ENCODE_DER, bytes);
}

std::wstring CertificatePemText(unsigned long certificate)
{
    std::string pem;
    return LibraryEncoding(certificate, ZENTO_ENCODE_PEM, pem) ? Utf8ToWide(pem) : std::wstring();
}

bool WriteCertFile(const std::wstring& path, const std::vector<unsigned long>& certificates,
                   CertFileFormat format)
{
    // Encoded first: a refusal leaves no empty file behind.
    std::string bytes;
    return EncodeCertFile(certificates, format, bytes) && WriteWholeFile(path, bytes);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    // A disk that fills up, or a folder that refuses the name, must leave
    // neither a torn file nor a truncated older one of that name.
    wchar_t temporary[MAX_PATH] = {};
    if (!::GetTempFileNameW(FolderOf(path).c_str(), L"lum", 0, temporary)) return false;
    bool written = false;
    {
        DuiLib::ScopedFile file(::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD count = 0;
        written = file &&
                  ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
                  count == bytes.size();
    }
    if (written && ::MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    ::DeleteFileW(temporary);
    return false;
}
