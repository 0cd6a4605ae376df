// Host-side entry of the PKI stand-in: what a host application (our substitute
// TamuHost) uses to turn a present token into a device handle for the plug-in.
// The plug-in itself never calls this; it only receives the handles.
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

#ifdef __cplusplus
}
#endif
