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

#ifdef __cplusplus
}
#endif
