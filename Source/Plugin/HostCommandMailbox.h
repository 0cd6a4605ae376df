// Commands for the host and its other plug-ins go through a named shared
// memory area that the host owns: the text is written here, then a host
// message tells the host to read it.
#pragma once

#include <string>

// Name of the host's mapping and the part of it the plug-in uses.
constexpr const wchar_t* kHostMailboxName = L"{B0EC4E51-7782-4901-866E-C043C98A3CBA}";
constexpr unsigned kHostMailboxSize = 1024;

// "%s|%s" of identifier and parameters, written as UTF-16 without terminator.
// Result of WriteHostMailbox.
int WriteHostCommand(const std::wstring& pluginId, const std::wstring& parameters);

// 0 written; -1 more than 1024 bytes (nothing written); 1 no mailbox or no view.
[[nodiscard]] int WriteHostMailbox(const void* bytes, unsigned byteCount);

// Writes the command and broadcasts the message whatever the write gave:
// the host may still act on an older command, and callers never report this.
void SendHostCommand(const std::wstring& pluginId, const std::wstring& parameters, unsigned message);
