// Reading the clipboard in tests; see ClipboardReader.h.
#include "ClipboardReader.h"

namespace testsupport {

namespace {
template <class Ch>
std::basic_string<Ch> ReadClipboard(UINT format)
{
    std::basic_string<Ch> out;
    if (!::OpenClipboard(nullptr)) {
        const char marker[] = "<clipboard not available>";
        return std::basic_string<Ch>(marker, marker + sizeof(marker) - 1);
    }
    if (HANDLE data = ::GetClipboardData(format)) {
        if (const Ch* text = static_cast<const Ch*>(::GlobalLock(data))) {
            out = text;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return out;
}
}  // namespace

std::string ClipboardText()
{
    return ReadClipboard<char>(CF_TEXT);
}

std::wstring ClipboardUnicodeText()
{
    return ReadClipboard<wchar_t>(CF_UNICODETEXT);
}

}  // namespace testsupport
