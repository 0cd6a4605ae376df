// Certificates in the forms people are asked for: DER and Base64 (PEM)
// X.509 files of one certificate, a PKCS #7 file of a group, and the PEM
// text for the clipboard. The encodings come from the PKI library and
// crypt32; a file is written whole or not at all.
#pragma once

#include <string>
#include <vector>

// In the order the save dialog lists them.
enum class CertFileFormat { Der = 0, Base64 = 1, Pkcs7 = 2 };
constexpr int kCertFileFormatCount = 3;

// The settings' spelling of a format ("DER", "Base64", "PKCS7"); any other
// text, an empty one included, reads as DER.
CertFileFormat CertFileFormatFromText(const std::wstring& text);
const wchar_t* CertFileFormatText(CertFileFormat format);
// ".cer" or ".p7b".
const wchar_t* CertFileExtension(CertFileFormat format);
// What the save dialog and the settings page call the format, with its
// extension: "Base64 编码 X.509 (*.cer)".
std::wstring CertFileTypeName(CertFileFormat format);

// The file's bytes: DER or PEM of the first certificate, PKCS #7 of all of
// them; false (bytes empty) when the library or crypt32 refuses.
[[nodiscard]] bool EncodeCertFile(const std::vector<unsigned long>& certificates, CertFileFormat format,
                                  std::string& bytes);
// The certificate as PEM text with CRLF line ends; empty when refused.
std::wstring CertificatePemText(unsigned long certificate);
// Encodes and writes the file; false when either fails, and then nothing of
// it is on disk (a file of that name stays as it was).
[[nodiscard]] bool WriteCertFile(const std::wstring& path, const std::vector<unsigned long>& certificates,
                                 CertFileFormat format);
// Writes the bytes to a temporary file beside path, which then takes the
// place of path; on failure the temporary file is removed again.
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
