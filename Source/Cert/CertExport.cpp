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

struct CryptMsgTraits {
    using type = HCRYPTMSG;
    static type None() noexcept { return nullptr; }
    static void Free(type message) noexcept { ::CryptMsgClose(message); }
};
using ScopedCryptMsg = DuiLib::UniqueResource<CryptMsgTraits>;

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

// A signed message that signs nothing and carries the certificates, as the
// system's own export writes a ".p7b". Not CertSaveStore's PKCS #7: Wine
// writes it without the ContentInfo around it, which other readers refuse.
bool Pkcs7Encoding(const std::vector<unsigned long>& certificates, std::string& bytes)
{
    bytes.clear();
    std::vector<std::string> encoded(certificates.size());
    std::vector<CERT_BLOB> blobs;
    for (size_t i = 0; i < certificates.size(); ++i) {
        if (!LibraryEncoding(certificates[i], ZENTO_ENCODE_DER, encoded[i])) return false;
        blobs.push_back({static_cast<DWORD>(encoded[i].size()), reinterpret_cast<BYTE*>(&encoded[i][0])});
    }
    if (blobs.empty()) return false;
    CMSG_SIGNED_ENCODE_INFO info = {};
    info.cbSize = sizeof(info);
    info.cCertEncoded = static_cast<DWORD>(blobs.size());
    info.rgCertEncoded = blobs.data();
    ScopedCryptMsg message(::CryptMsgOpenToEncode(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CMSG_SIGNED,
                                                  &info, nullptr, nullptr));
    DWORD size = 0;
    if (!message || !::CryptMsgUpdate(message.get(), nullptr, 0, TRUE) ||
        !::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, nullptr, &size) || size == 0)
        return false;
    std::string content(size, '\0');
    if (!::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, &content[0], &size)) return false;
    content.resize(size);
    bytes.swap(content);
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
