// Host-side entries of the PKI stand-in: what a host application (our
// substitute TamuHost) uses to turn a present token into a device handle for
// the plug-in, and the stand-in's counters for tests. The plug-in itself never
// calls these; it only receives the handles.
#pragma once

#include "Cert/ZentoPKI.h"

// File inside a token folder that describes the token (UTF-8 INI, section
// [Token], keys Type, Serial, Label, Pin, Retries, MaxRetries).
#define ZENTO_TOKEN_INI_NAME L"token.ini"

#ifdef __cplusplus
extern "C" {
#endif

// Opens the simulated token in the given folder. Returns a new device handle
// (free it with ZentoPKICryptoFreeDevice), or 0 when the folder holds no
// readable token description.
unsigned long __cdecl ZentoPKIHostOpenDevice(const wchar_t* tokenFolder);

// Makes every string read of attribute id fail on every certificate, as a
// library that cannot render that attribute would (for hosts and tests that
// exercise the plug-in's failure paths); 0 ends it. Returns the id that
// failed before.
int __cdecl ZentoPKIHostFailStringAttribute(int id);
// The same for ZentoPKICertGetCertEncode of one form (2 DER, 3 PEM): every
// certificate is refused in it; 0 ends it. Returns the form refused before.
int __cdecl ZentoPKIHostFailEncode(int form);

// Makes freed handle numbers come back, the newest freed one of a kind first,
// as a library that reuses its numbers (or heap addresses) does: the next
// device opened after one was freed gets its handle value (for tests of a
// plug-in that must not trust a handle value alone); 0 ends it. A second free
// is then no longer told apart from a free of the newer object. Returns the
// setting before.
int __cdecl ZentoPKIHostReuseFreedHandles(int on);

// Book-keeping of the stand-in, for tests and diagnostics (the maker's
// libraries have no such entries, so the plug-in never calls them): handles
// (devices, key pairs, certificates) and buffers of ZENTO_CRYPTO still alive,
// time values of ZENTO_UTIL still alive, and the number of frees of a handle,
// buffer or time that was not alive (double or foreign frees, which are
// refused and counted).
long __cdecl ZentoPKIGetLiveObjectCount(void);
long __cdecl ZentoPKIGetBadFreeCount(void);
long __cdecl zento_time_livecount(void);
long __cdecl zento_time_badfreecount(void);

#ifdef __cplusplus
}
#endif
