// Screen captures saved with the GDI+ PNG encoder.
#include "Screenshot.h"

#include <objidl.h>
#include <gdiplus.h>

#include <vector>

namespace tamu {

namespace {

bool PngEncoder(CLSID& clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(encoders[i].MimeType, L"image/png") == 0) {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

// GDI+ is started for the duration of one capture; the host itself never
// needs it otherwise.
class GdiplusSession {
public:
    GdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        m_ok_ = Gdiplus::GdiplusStartup(&m_token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        if (m_ok_) Gdiplus::GdiplusShutdown(m_token_);
    }
    bool Ok() const { return m_ok_; }

private:
    ULONG_PTR m_token_ = 0;
    bool m_ok_ = false;
};

struct EnumState {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window)) {
        reinterpret_cast<EnumState*>(param)->windows.push_back(window);
    }
    return TRUE;
}

}  // namespace

bool CaptureWindowToPng(HWND window, const std::wstring& path)
{
    RECT rect;
    return IsWindow(window) && GetWindowRect(window, &rect) && CaptureScreenToPng(rect, path);
}

bool CaptureScreenToPng(const RECT& rect, const std::wstring& path)
{
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    GdiplusSession gdiplus;
    CLSID png;
    if (!gdiplus.Ok() || !PngEncoder(png)) return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    bool saved = false;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

int CaptureProcessWindows(const std::wstring& folder, const std::wstring& prefix)
{
    EnumState state;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    CreateDirectoryW(folder.c_str(), nullptr);
    int written = 0;
    int index = 0;
    for (HWND window : state.windows) {
        wchar_t className[128] = {};
        GetClassNameW(window, className, 128);
        const std::wstring path =
            folder + L"\\" + prefix + std::to_wstring(index++) + L"-" + className + L".png";
        if (CaptureWindowToPng(window, path)) ++written;
    }
    return written;
}

}  // namespace tamu
