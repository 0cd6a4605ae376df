// Cert_Util: what the plug-in shows about a key and a certificate, read
// through the PKI libraries: attribute texts, thumbprints, the maker's service
// extension, validity dates, expiry and remaining days, device identity.
// Stateless; handles are borrowed; every library buffer is freed here.
#pragma once

#include <string>

namespace Cert_Util {

// The maker's user-service extension.
extern const char kUserServiceProgIdOid[];

// True when read; the text is empty otherwise (an empty value reads as not read).
bool GetCertStringAttribute(unsigned long certificate, int id, std::wstring& text);
// Thumbprint (hash attribute 44, algorithm 0x2000 or 0x4000) as upper-case hex.
bool GetCertThumbprintHex(unsigned long certificate, int algorithm, std::wstring& text);
// SHA-1 thumbprint in the library's hex encoding; empty on failure.
std::string GetCertSha1Hex(unsigned long certificate);
// Roles by key usage: signing when at least one bit of 0x63 and none outside,
// encryption when at least one bit of 0x19C and none outside.
bool IsSignCert(unsigned long certificate);
bool IsEncCert(unsigned long certificate);
// The service extension's text, empty when there is none. True when not empty.
bool GetUserServiceProgId(unsigned long certificate, std::wstring& text);
// "YYYY-MM-DD" texts (local date, or the UTC date with " UTC"); false only for
// a zero handle.
bool GetCertValidityDates(unsigned long certificate, std::wstring& start, std::wstring& end);
std::wstring FormatCertDate(unsigned long time);
// Calendar seconds since 1970 of a time text read as local time; 0 when the
// text is shorter than 15 characters or a field is out of range.
long long ParseCertTime(const std::wstring& text);
long long ParseCertTimeEast8(const std::wstring& text);
// PKI time of a time text (UTF-8, as the library gave it); nullptr means the
// current time. 0 when malformed. The caller owns it (Pki::ScopedTime).
unsigned long ToPkiTime(const char* text);
// Expiry and remaining days measure against Clock::NowUnixSeconds().
bool IsCertExpired(unsigned long certificate);
// True when the certificate ends within the RemainDay window; days then holds
// the whole days left.
bool GetCertRemainDays(unsigned long certificate, int* days);
std::wstring GetDeviceSerialNumber(unsigned long device);
std::wstring GetDeviceLabel(unsigned long device);
std::wstring GetDeviceTypeName(unsigned long device);

}  // namespace Cert_Util
