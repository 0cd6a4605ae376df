// The maker's PKI libraries as the plug-in imports them: ZENTO_CRYPTO.dll
// (devices, key pairs, certificates, buffers), ZENTO_UTIL.dll (time values and
// certificate validity) and ZENTO_CRYPTO_UI.dll (the certificate dialog).
// This one header is the binary contract: our stand-in libraries compile
// against it too, so a signature that drifts fails to build on both sides.
//
// All entry points are cdecl, unmangled (pinned by .def files). Handles are
// opaque 32-bit values, 0 meaning none; operations return 1 for success.
// Texts handed out are NUL-terminated UTF-8 and are freed with
// ZentoPKICryptoFreeMemory, like every other buffer handed out.
//
// Values whose meaning only the library knows (our stand-in's choices):
//
// String attributes (ZentoPKICertGetCertStringAttribute); an attribute the
// certificate does not carry, or whose text is empty, is a failed read (0):
//   9  issuer display name   (CN, else OU, else O, else e-mail, else first RDN)
//   15 full subject name     (X.500 text of CertNameToStr, "C=CN, O=..., CN=...",
//                             RDNs in certificate order; exact, case kept)
//   16 subject display name  (same rule as 9, for the subject)
//   17 country (C)           18 organisation (O)      19 organisational unit (OU)
//   39 state or province (S) 40 locality (L), else street address (STREET)
//   21 e-mail address        (rfc822Name of the alternative name or E=)
//   22 friendly name         (the friendly-name property, else the display name)
//   29 start of validity     } GeneralizedTime text in UTC, "YYYYMMDDHHMMSSZ"
//   30 end of validity       } (30 and 31 are the same value: the plug-in
//   31 end of validity       }  reads the end under both ids)
//   33 serial number         upper-case hex, big-endian, no leading zero bytes
//                            (a zero serial is "00"), as `openssl x509 -serial`
// Integer attributes (ZentoPKICertGetCertIntegerAttribute):
//   6  key usage bits, X.509 numbering (bit n worth 2^n: 1 digitalSignature,
//      2 nonRepudiation, 4 keyEncipherment, 8 dataEncipherment, 16 keyAgreement,
//      32 keyCertSign, 64 cRLSign, 128 encipherOnly, 256 decipherOnly);
//      a certificate without the key-usage extension is a failed read
//   34 certificate-authority flag: 1 when basic constraints say cA, else 0.
//      The plug-in does not report a CA certificate kept on a key as expired:
//      the chain certificates on a key are not the holder's to renew.
// Hash attribute 44 (ZentoPKICertGetCertHashAttribute) is the thumbprint,
// the hash of the DER certificate: algorithm 0x2000 SHA-1 (20 bytes),
// 0x4000 SHA-256 (32 bytes).
// Encodings (ZentoPKICertGetCertEncode): form 2 DER (a ".cer" file),
// form 3 PEM text ("-----BEGIN CERTIFICATE-----", base64 lines, CRLF).
// ZentoPKICertNewCert accepts both forms.
// Hex (ZentoPKICryptoHexEncode): mode 1 upper case, mode 0 lower case, no
// separators. String extensions (ZentoPKIDecodeStringExtension): kind 3 is a
// DER directory string of any type (UTF8String, PrintableString, IA5String,
// BMPString, ...), decoded to UTF-8.
// ZentoPKICertFindExtension hands out the extension's value (the content of
// its extnValue octet string) and returns ZENTO_PKI_EXTENSION_ABSENT (-7)
// when the certificate has no extension with that OID.
// PIN change (ZentoPKICryptoChangePwd): PIN kind 1 is the user PIN, the only
// kind a token of this library has. A new PIN must have 4 to 32 bytes. With
// the right old PIN the PIN is changed, the retry counter is reset to its
// maximum and reported, and 1 is returned. A wrong old PIN costs one retry and
// reports the retries left; at 0 the token is locked for good and every later
// attempt reports 0. A call refused before the PIN is checked (other kind, bad
// new PIN, unknown device) returns 0 and leaves the retries and *retriesLeft
// untouched. A bad new PIN is one outside 4 to 32 bytes, or one with a control
// character (tab, CR, LF, ...) or a space at its start or end.
// Device types (ZentoPKICryptoGetType / GetNameFromType): 1 "ZT-KEY 1000",
// 2 "ZT-KEY 2000 国密", 3 "ZT-KEY 3000 Bluetooth"; the name is the library's.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZENTO_PKI_OK 1
#define ZENTO_PKI_EXTENSION_ABSENT (-7)

#define ZENTO_CERT_ATTR_KEY_USAGE 6
#define ZENTO_CERT_ATTR_ISSUER_DISPLAY_NAME 9
#define ZENTO_CERT_ATTR_SUBJECT 15
#define ZENTO_CERT_ATTR_SUBJECT_DISPLAY_NAME 16
#define ZENTO_CERT_ATTR_COUNTRY 17
#define ZENTO_CERT_ATTR_ORGANIZATION 18
#define ZENTO_CERT_ATTR_UNIT 19
#define ZENTO_CERT_ATTR_EMAIL 21
#define ZENTO_CERT_ATTR_FRIENDLY_NAME 22
#define ZENTO_CERT_ATTR_VALID_FROM 29
#define ZENTO_CERT_ATTR_VALID_TO 30
#define ZENTO_CERT_ATTR_VALID_TO_2 31
#define ZENTO_CERT_ATTR_SERIAL 33
#define ZENTO_CERT_ATTR_IS_CA 34
#define ZENTO_CERT_ATTR_PROVINCE 39
#define ZENTO_CERT_ATTR_LOCALITY 40
#define ZENTO_CERT_ATTR_THUMBPRINT 44
#define ZENTO_HASH_SHA1 0x2000
#define ZENTO_HASH_SHA256 0x4000
#define ZENTO_ENCODE_DER 2
#define ZENTO_ENCODE_PEM 3
#define ZENTO_HEX_UPPER 1
#define ZENTO_HEX_LOWER 0
#define ZENTO_STRING_EXT_DIRECTORY_STRING 3
#define ZENTO_PIN_USER 1

// ---- ZENTO_CRYPTO.dll: devices and key pairs ----
int __cdecl ZentoPKICryptoGetKeypairCount(unsigned long device);
unsigned long __cdecl ZentoPKICryptoGetKeypair(unsigned long device, int index);
int __cdecl ZentoPKICryptoFreeKeypair(unsigned long keypair);
int __cdecl ZentoPKICryptoGetCertificateCount(unsigned long keypair);
int __cdecl ZentoPKICryptoGetCertificate(unsigned long keypair, int index, unsigned long* certificate);
int __cdecl ZentoPKICryptoGetType(unsigned long device);
const char* __cdecl ZentoPKICryptoGetNameFromType(int type);
int __cdecl ZentoPKICryptoGetSerialNumber(unsigned long device, char** text);
int __cdecl ZentoPKICryptoGetLabel(unsigned long device, char** text);
int __cdecl ZentoPKICryptoFreeDevice(unsigned long device);
int __cdecl ZentoPKICryptoChangePwd(unsigned long device, int pinKind, const char* oldPin, const char* newPin,
                                    int* retriesLeft);

// ---- ZENTO_CRYPTO.dll: certificates ----
int __cdecl ZentoPKICertGetCertStringAttribute(unsigned long certificate, int id, char** text);
int __cdecl ZentoPKICertGetCertIntegerAttribute(unsigned long certificate, int id, long* value);
int __cdecl ZentoPKICertGetCertHashAttribute(unsigned long certificate, int id, int algorithm,
                                             unsigned char** bytes, unsigned long* length);
int __cdecl ZentoPKICertFindExtension(unsigned long certificate, const char* oid, int* critical,
                                      unsigned char** value, unsigned long* length);
int __cdecl ZentoPKIDecodeStringExtension(int kind, const unsigned char* value, unsigned long length,
                                          char** text, unsigned long* textLength);
int __cdecl ZentoPKICertGetCertEncode(unsigned long certificate, int form, unsigned char** bytes,
                                      unsigned long* length);
int __cdecl ZentoPKICryptoHexEncode(int mode, const unsigned char* bytes, unsigned long length, char** text,
                                    unsigned long* textLength);
unsigned long __cdecl ZentoPKICertNewCert(const unsigned char* encoded, unsigned long length);
unsigned long __cdecl ZentoPKICertDupCert(unsigned long certificate);
int __cdecl ZentoPKICertFreeCert(unsigned long certificate);
int __cdecl ZentoPKICryptoFreeMemory(void* buffer);

// ---- ZENTO_CRYPTO_UI.dll ----
int __cdecl ZentoPKIUIDisplayCert(HWND parent, unsigned long certificate);

// ---- ZENTO_UTIL.dll: time values and validity ----
// A time value is a date and time with nanoseconds, either UTC or local.
unsigned long __cdecl zento_cert_getvaliditystart(unsigned long certificate);
unsigned long __cdecl zento_cert_getvalidityend(unsigned long certificate);
unsigned long __cdecl zento_time_utc2local(unsigned long time);
int __cdecl zento_time_getyear(unsigned long time);
int __cdecl zento_time_getmonth(unsigned long time);
int __cdecl zento_time_getday(unsigned long time);
int __cdecl zento_time_gethour(unsigned long time);
int __cdecl zento_time_getminute(unsigned long time);
int __cdecl zento_time_getsecond(unsigned long time);
long __cdecl zento_time_getfraction(unsigned long time);
int __cdecl zento_time_islocal(unsigned long time);
unsigned long __cdecl zento_time_newutctime(int year, int month, int day, int hour, int minute, int second,
                                            long fraction);
unsigned long __cdecl zento_time_nowutctime(void);
// -1 when a is earlier than b, 0 when equal, 1 when later; -2 when either
// handle is not a live time (never -1, so a bad handle is not read as "earlier").
int __cdecl zento_time_cmp(unsigned long a, unsigned long b);
int __cdecl zento_time_free(unsigned long time);

#ifdef __cplusplus
}
#endif
