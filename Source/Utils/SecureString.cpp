// Conversions and window reads that must not leave a PIN in an ordinary
// string; see SecureString.h.
#include "Utils/SecureString.h"

#include <string>

SecureUtf8String ToSecureUtf8(const SecureWString& text)
{
    SecureUtf8String out;
    if (text.empty()) return out;
    int wideLength = static_cast<int>(text.size());
    int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), wideLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return out;
    char* target = out.Prepare(static_cast<size_t>(needed));
    int written =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), wideLength, target, needed, nullptr, nullptr);
    out.SetLength(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

SecureWString ReadWindowTextSecure(HWND hwnd)
{
    SecureWString out;
    if (!hwnd || !::IsWindow(hwnd)) return out;
    int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0) return out;
    wchar_t* target = out.Prepare(static_cast<size_t>(length));
    int got = ::GetWindowTextW(hwnd, target, length + 1);
    out.SetLength(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

void WipeWindowText(HWND hwnd)
{
    if (!hwnd || !::IsWindow(hwnd)) return;
    int length = ::GetWindowTextLengthW(hwnd);
    if (length > 0) {
        // Same length, so the edit rewrites its buffer instead of moving
        // to a new one and leaving the old characters behind.
        std::wstring filler(static_cast<size_t>(length), L' ');
        ::SetWindowTextW(hwnd, filler.c_str());
    }
    ::SetWindowTextW(hwnd, L"");
    ::SendMessageW(hwnd, EM_EMPTYUNDOBUFFER, 0, 0);
}
