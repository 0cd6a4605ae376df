// Do-not-remind markers of the absent-key reminder: one small file per
// certificate, named by its SHA-1 thumbprint, in the user's
// NoDeviceForbidNotifyCert folder. The pop-up writes them; the expiry check
// leaves out every certificate that has one. Only the name counts.
#pragma once

#include <string>

// The marker folder with a trailing backslash, created when missing; empty
// when the user's application-data folder cannot be named.
std::wstring GetForbidNotifyFolder();

// Whether a marker file (a folder of that name does not count) exists for
// the thumbprint text.
bool IsForbidNotifyMarked(const std::wstring& sha1Hex);
// The same for a certificate handle; false when its thumbprint cannot be read.
bool HasForbidNotifyMarker(unsigned long certificate);

// Writes (or overwrites) the marker of the certificate; its content is the
// certificate's PEM form. True when every byte was written.
bool WriteForbidNotifyMarker(unsigned long certificate);
