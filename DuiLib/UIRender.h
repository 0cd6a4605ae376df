// Drawing primitives of the toolkit: colours (with alpha), rounded borders,
// skin images (PNG with alpha through GDI+, cached once per process), plain
// text and the small inline markup of "showhtml" texts.
#pragma once

#include <string>
#include <vector>

#include "DuiLib/UIBase.h"

namespace DuiLib {

class CPaintManagerUI;

// One image description of a skin attribute: either a bare file name or
// file='a.png' source='l,t,r,b' corner='l,t,r,b' dest='l,t,r,b' fade='128'.
struct TImageDesc {
    std::wstring file;
    RECT source = {0, 0, 0, 0};  // part of the image (image pixels); empty: all
    RECT corner = {0, 0, 0, 0};  // nine-grid corners (image pixels)
    RECT dest = {0, 0, 0, 0};    // part of the control (96-dpi); empty: all
    BYTE fade = 255;
    bool hasSource = false;
    bool hasDest = false;
};
bool ParseImageDesc(const std::wstring& text, TImageDesc& desc);

// A run of "showhtml" text with its font id and colour.
struct THtmlRun {
    std::wstring text;
    int font = -1;    // -1: the control's own font
    DWORD color = 0;  // 0: the control's own colour
    bool lineBreak = false;
};
// Splits {f n}...{/f}, {c #rrggbb}...{/c} and {n} (line break) markup into
// runs; unknown or broken tags are kept as literal text.
std::vector<THtmlRun> ParseHtmlText(const std::wstring& text);

// While alive, drawing into `dc` (a memory DC holding a 32-bit top-down DIB
// whose pixels are at `bits`) blends the engine's cached shapes and images
// straight into those pixels instead of going through GDI+ on every call.
// Only the painting thread that opened it sees it.
class CBackBufferScope {
public:
    CBackBufferScope(HDC dc, void* bits, int cx, int cy);
    ~CBackBufferScope();
    CBackBufferScope(const CBackBufferScope&) = delete;
    CBackBufferScope& operator=(const CBackBufferScope&) = delete;

private:
    bool m_registered = false;
};

class CRenderEngine {
public:
    // GDI+ is started on first use and stopped by ReleaseSharedResources.
    static bool EnsureGdiplus();
    static void ShutdownGdiplus();

    // Image cache: one decoded image per full path for the whole process.
    // Returns false when the file is missing or not an image.
    static bool GetImageSize(const std::wstring& fullPath, SIZE& size);
    static void FreeImageCache();
    static size_t GetImageCacheCount();
    static std::wstring ResolveImagePath(const std::wstring& file);

    static void DrawColor(HDC hDC, const RECT& rc, DWORD argb);
    static void DrawRoundColor(HDC hDC, const RECT& rc, int radiusX, int radiusY, DWORD argb);
    static void DrawBorder(HDC hDC, const RECT& rc, int size, int radiusX, int radiusY, DWORD argb);
    static void DrawLine(HDC hDC, POINT from, POINT to, int size, DWORD argb);
    // Draws an image description into rcItem (clipped to rcPaint).
    static bool DrawImageString(HDC hDC, CPaintManagerUI* manager, const RECT& rcItem, const RECT& rcPaint,
                                const std::wstring& image);

    // Plain text with DrawText flags (DT_*), in the manager's font `font`.
    static void DrawText(HDC hDC, CPaintManagerUI* manager, RECT rc, const std::wstring& text, DWORD argb,
                         int font, UINT style);
    // Markup text; style takes DT_LEFT/DT_CENTER/DT_RIGHT, DT_TOP/DT_VCENTER/
    // DT_BOTTOM and DT_SINGLELINE; lines wrap at the width otherwise.
    static void DrawHtmlText(HDC hDC, CPaintManagerUI* manager, RECT rc, const std::wstring& text, DWORD argb,
                             int font, UINT style);
    // Size of a text in the given font (pixels).
    static SIZE MeasureText(HDC hDC, CPaintManagerUI* manager, const std::wstring& text, int font);

    // Writes a 32-bit top-down BGRA buffer as a PNG with GDI+.
    static bool SavePixelsAsPng(const std::vector<DWORD>& pixels, int cx, int cy, const std::wstring& path);
};

}  // namespace DuiLib
