// Writer side of the host command mailbox.
#include "Plugin/HostCommandMailbox.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "DuiLib/ScopedWin.h"
#include "Plugin/HostMessaging.h"

int WriteHostCommand(const std::wstring& pluginId, const std::wstring& parameters)
{
    const std::wstring command = pluginId + L"|" + parameters;
    const size_t byteCount = command.size() * sizeof(wchar_t);
    // A count above the limit is refused by WriteHostMailbox; clamp only what
    // we hand over so an absurdly long text cannot overflow the unsigned.
    std::vector<unsigned char> buffer(byteCount, 0);
    if (byteCount) std::memcpy(buffer.data(), command.data(), byteCount);
    const unsigned count = byteCount > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(byteCount);
    return WriteHostMailbox(buffer.data(), count);
}

int WriteHostMailbox(const void* bytes, unsigned byteCount)
{
    if (byteCount > kHostMailboxSize) return -1;
    DuiLib::ScopedHandle mapping(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kHostMailboxName));
    if (!mapping) return 1;
    DuiLib::ScopedMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, kHostMailboxSize));
    if (!view) return 1;
    // Zero the whole area first: a shorter command must not leave the tail of
    // a longer one behind for the host to read.
    std::memset(view.get(), 0, kHostMailboxSize);
    if (byteCount && bytes) std::memcpy(view.get(), bytes, byteCount);
    return 0;
}

void SendHostCommand(const std::wstring& pluginId, const std::wstring& parameters, unsigned message)
{
    (void)WriteHostCommand(pluginId, parameters);
    BroadcastHostMessage(message);
}
