// Drawing primitives, the process-wide image cache and the "showhtml" markup.
// GDI draws text (its font linking covers Chinese in every family), GDI+
// draws what needs alpha or anti-aliasing: PNG images and rounded shapes.
#include "DuiLib/UIRender.h"

#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <map>
#include <memory>
#include <mutex>

#include "DuiLib/UIManager.h"

namespace DuiLib {

namespace {

struct GdiplusState {
    ULONG_PTR token = 0;
    bool started = false;
};
GdiplusState& Gdip()
{
    static GdiplusState state;
    return state;
}

std::mutex& CacheLock()
{
    static std::mutex lock;
    return lock;
}
// Null entries remember files that could not be loaded, so a missing image
// costs one failed open per process, not one per paint.
std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>>& ImageCache()
{
    static std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>> cache;
    return cache;
}

std::wstring CacheKey(const std::wstring& path)
{
    std::wstring key = path;
    CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

std::unique_ptr<Gdiplus::Bitmap> LoadBitmapFile(const std::wstring& path)
{
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    DWORD size = GetFileSize(file.get(), nullptr);
    std::unique_ptr<Gdiplus::Bitmap> result;
    if (size != INVALID_FILE_SIZE && size > 0 && size < 32 * 1024 * 1024) {
        ScopedGlobal mem(GlobalAlloc(GMEM_MOVEABLE, size));
        if (mem) {
            void* data = GlobalLock(mem.get());
            DWORD read = 0;
            bool ok = data && ReadFile(file.get(), data, size, &read, nullptr) && read == size;
            if (data) GlobalUnlock(mem.get());
            IStream* stream = nullptr;
            // The stream frees the memory block when released.
            if (ok && SUCCEEDED(CreateStreamOnHGlobal(mem.get(), TRUE, &stream))) {
                (void)mem.release();
                std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream));
                if (decoded && decoded->GetLastStatus() == Gdiplus::Ok && decoded->GetWidth() > 0) {
                    // Copy into a bitmap of our own: GDI+ keeps reading from the
                    // stream for the life of a decoded image otherwise.
                    auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(decoded->GetWidth()),
                                                                  static_cast<INT>(decoded->GetHeight()),
                                                                  PixelFormat32bppPARGB);
                    if (copy->GetLastStatus() == Gdiplus::Ok) {
                        Gdiplus::Graphics g(copy.get());
                        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
                        g.DrawImage(decoded.get(), 0, 0, static_cast<INT>(decoded->GetWidth()),
                                    static_cast<INT>(decoded->GetHeight()));
                        result = std::move(copy);
                    }
                }
                decoded.reset();
                stream->Release();
            }
        }
    }
    return result;
}

Gdiplus::Bitmap* GetCachedImage(const std::wstring& fullPath)
{
    if (!CRenderEngine::EnsureGdiplus()) return nullptr;
    std::lock_guard<std::mutex> guard(CacheLock());
    std::wstring key = CacheKey(fullPath);
    auto it = ImageCache().find(key);
    if (it != ImageCache().end()) return it->second.get();
    std::unique_ptr<Gdiplus::Bitmap> bmp = LoadBitmapFile(fullPath);
    Gdiplus::Bitmap* raw = bmp.get();
    if (!raw) OutputDebugStringW((L"DuiLib: image not found or unreadable: " + fullPath + L"\n").c_str());
    ImageCache()[key] = std::move(bmp);
    return raw;
}

Gdiplus::Color ToGdipColor(DWORD argb)
{
    return Gdiplus::Color(argb);
}

Gdiplus::Rect ToGdipRect(const RECT& rc)
{
    return Gdiplus::Rect(rc.left, rc.top, RectWidth(rc), RectHeight(rc));
}

bool IntersectRects(RECT& out, const RECT& a, const RECT& b)
{
    return ::IntersectRect(&out, &a, &b) != FALSE;
}

void AddRoundRectPath(Gdiplus::GraphicsPath& path, Gdiplus::RectF r, float rx, float ry)
{
    rx = std::min(rx, r.Width / 2);
    ry = std::min(ry, r.Height / 2);
    if (rx <= 0 || ry <= 0) {
        path.AddRectangle(r);
        return;
    }
    float dx = rx * 2, dy = ry * 2;
    path.AddArc(r.X, r.Y, dx, dy, 180, 90);
    path.AddArc(r.X + r.Width - dx, r.Y, dx, dy, 270, 90);
    path.AddArc(r.X + r.Width - dx, r.Y + r.Height - dy, dx, dy, 0, 90);
    path.AddArc(r.X, r.Y + r.Height - dy, dx, dy, 90, 90);
    path.CloseFigure();
}

bool GetPngEncoder(CLSID& clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// Reads key='value' pairs of an image description.
bool ReadDescPair(const std::wstring& text, size_t& pos, std::wstring& key, std::wstring& value)
{
    while (pos < text.size() && iswspace(text[pos])) ++pos;
    if (pos >= text.size()) return false;
    size_t eq = text.find(L'=', pos);
    if (eq == std::wstring::npos) return false;
    key = TrimText(text.substr(pos, eq - pos));
    pos = eq + 1;
    while (pos < text.size() && iswspace(text[pos])) ++pos;
    if (pos >= text.size() || (text[pos] != L'\'' && text[pos] != L'"')) return false;
    wchar_t quote = text[pos++];
    size_t end = text.find(quote, pos);
    if (end == std::wstring::npos) return false;
    value = text.substr(pos, end - pos);
    pos = end + 1;
    return true;
}

}  // namespace

bool ParseImageDesc(const std::wstring& text, TImageDesc& desc)
{
    desc = TImageDesc();
    std::wstring t = TrimText(text);
    if (t.empty()) return false;
    if (t.find(L'=') == std::wstring::npos) {
        desc.file = t;
        return true;
    }
    size_t pos = 0;
    std::wstring key, value;
    while (ReadDescPair(t, pos, key, value)) {
        if (key == L"file") {
            desc.file = value;
        } else if (key == L"source") {
            desc.source = ParseRect(value);
            desc.hasSource = !RectEmpty(desc.source);
        } else if (key == L"corner") {
            desc.corner = ParseRect(value);
        } else if (key == L"dest") {
            desc.dest = ParseRect(value);
            desc.hasDest = !RectEmpty(desc.dest);
        } else if (key == L"fade") {
            int v = 255;
            if (ParseInt(value, v)) desc.fade = static_cast<BYTE>(std::max(0, std::min(255, v)));
        }
    }
    return !desc.file.empty();
}

std::vector<THtmlRun> ParseHtmlText(const std::wstring& text)
{
    std::vector<THtmlRun> runs;
    std::vector<int> fonts;
    std::vector<DWORD> colors;
    std::wstring current;
    auto flush = [&]() {
        if (current.empty()) return;
        THtmlRun run;
        run.text = current;
        run.font = fonts.empty() ? -1 : fonts.back();
        run.color = colors.empty() ? 0 : colors.back();
        runs.push_back(run);
        current.clear();
    };
    size_t i = 0;
    while (i < text.size()) {
        wchar_t c = text[i];
        if (c == L'\n') {
            flush();
            THtmlRun br;
            br.lineBreak = true;
            runs.push_back(br);
            ++i;
            continue;
        }
        if (c == L'{') {
            size_t close = text.find(L'}', i);
            if (close != std::wstring::npos) {
                std::wstring tag = text.substr(i + 1, close - i - 1);
                bool used = true;
                if (tag.size() > 2 && tag[0] == L'f' && tag[1] == L' ') {
                    int id = 0;
                    if (ParseInt(tag.substr(2), id)) {
                        flush();
                        fonts.push_back(id);
                    } else {
                        used = false;
                    }
                } else if (tag == L"/f") {
                    flush();
                    if (!fonts.empty()) fonts.pop_back();
                } else if (tag.size() > 2 && tag[0] == L'c' && tag[1] == L' ') {
                    DWORD color = 0;
                    if (ParseColor(tag.substr(2), color)) {
                        flush();
                        colors.push_back(color);
                    } else {
                        used = false;
                    }
                } else if (tag == L"/c") {
                    flush();
                    if (!colors.empty()) colors.pop_back();
                } else if (tag == L"n") {
                    flush();
                    THtmlRun br;
                    br.lineBreak = true;
                    runs.push_back(br);
                } else {
                    used = false;
                }
                if (used) {
                    i = close + 1;
                    continue;
                }
            }
        }
        current += c;
        ++i;
    }
    flush();
    return runs;
}

bool CRenderEngine::EnsureGdiplus()
{
    GdiplusState& s = Gdip();
    if (s.started) return true;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&s.token, &input, nullptr) != Gdiplus::Ok) return false;
    s.started = true;
    return true;
}

void CRenderEngine::ShutdownGdiplus()
{
    FreeImageCache();
    GdiplusState& s = Gdip();
    if (!s.started) return;
    Gdiplus::GdiplusShutdown(s.token);
    s.token = 0;
    s.started = false;
}

void CRenderEngine::FreeImageCache()
{
    std::lock_guard<std::mutex> guard(CacheLock());
    ImageCache().clear();
}

size_t CRenderEngine::GetImageCacheCount()
{
    std::lock_guard<std::mutex> guard(CacheLock());
    return ImageCache().size();
}

std::wstring CRenderEngine::ResolveImagePath(const std::wstring& file)
{
    bool absolute = (file.size() > 1 && file[1] == L':') || (file.size() > 1 && file[0] == L'\\');
    std::wstring path = absolute ? file : CPaintManagerUI::GetResourcePath() + file;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool CRenderEngine::GetImageSize(const std::wstring& fullPath, SIZE& size)
{
    Gdiplus::Bitmap* bmp = GetCachedImage(fullPath);
    if (!bmp) return false;
    size.cx = static_cast<LONG>(bmp->GetWidth());
    size.cy = static_cast<LONG>(bmp->GetHeight());
    return true;
}

void CRenderEngine::DrawColor(HDC hDC, const RECT& rc, DWORD argb)
{
    if (ArgbAlpha(argb) == 0 || RectEmpty(rc)) return;
    if (ArgbAlpha(argb) == 255) {
        // Opaque fills are the common case and GDI does them exactly.
        ScopedBrush brush(CreateSolidBrush(ArgbToColorRef(argb)));
        if (!brush) return;
        FillRect(hDC, &rc, brush.get());
        return;
    }
    if (!EnsureGdiplus()) return;
    Gdiplus::Graphics g(hDC);
    Gdiplus::SolidBrush brush(ToGdipColor(argb));
    g.FillRectangle(&brush, ToGdipRect(rc));
}

void CRenderEngine::DrawRoundColor(HDC hDC, const RECT& rc, int radiusX, int radiusY, DWORD argb)
{
    if (ArgbAlpha(argb) == 0 || RectEmpty(rc)) return;
    if (radiusX <= 0 || radiusY <= 0) {
        DrawColor(hDC, rc, argb);
        return;
    }
    if (!EnsureGdiplus()) return;
    Gdiplus::Graphics g(hDC);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::GraphicsPath path;
    AddRoundRectPath(path,
                     Gdiplus::RectF(static_cast<float>(rc.left), static_cast<float>(rc.top),
                                    static_cast<float>(RectWidth(rc)), static_cast<float>(RectHeight(rc))),
                     static_cast<float>(radiusX) / 2, static_cast<float>(radiusY) / 2);
    Gdiplus::SolidBrush brush(ToGdipColor(argb));
    g.FillPath(&brush, &path);
}

void CRenderEngine::DrawBorder(HDC hDC, const RECT& rc, int size, int radiusX, int radiusY, DWORD argb)
{
    if (size <= 0 || ArgbAlpha(argb) == 0 || RectEmpty(rc)) return;
    if (radiusX <= 0 || radiusY <= 0) {
        // A square border is four filled bands inside the rectangle: a pen
        // centred on half pixels rounds its right and bottom edges out of
        // the rectangle at some scales. The bands do not overlap, so a
        // translucent colour is not blended twice at the corners.
        const LONG band = (std::min)(size, (std::min)(RectWidth(rc), RectHeight(rc)));
        const LONG innerTop = rc.top + band;
        const LONG innerBottom = (std::max)(rc.bottom - band, innerTop);
        DrawColor(hDC, {rc.left, rc.top, rc.right, innerTop}, argb);
        if (innerBottom < rc.bottom) DrawColor(hDC, {rc.left, innerBottom, rc.right, rc.bottom}, argb);
        if (innerBottom > innerTop) {
            const LONG innerLeft = rc.left + band;
            const LONG innerRight = (std::max)(rc.right - band, innerLeft);
            DrawColor(hDC, {rc.left, innerTop, innerLeft, innerBottom}, argb);
            if (innerRight < rc.right) DrawColor(hDC, {innerRight, innerTop, rc.right, innerBottom}, argb);
        }
        return;
    }
    if (!EnsureGdiplus()) return;
    Gdiplus::Graphics g(hDC);
    // Pixel centres sit on whole coordinates here, so a pen of `size` whose
    // centre line is (size - 1) / 2 inside covers exactly the outer pixels.
    Gdiplus::Pen pen(ToGdipColor(argb), static_cast<Gdiplus::REAL>(size));
    float inset = static_cast<float>(size - 1) / 2;
    Gdiplus::RectF r(rc.left + inset, rc.top + inset, RectWidth(rc) - 1 - 2 * inset,
                     RectHeight(rc) - 1 - 2 * inset);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::GraphicsPath path;
    AddRoundRectPath(path, r, static_cast<float>(radiusX) / 2, static_cast<float>(radiusY) / 2);
    g.DrawPath(&pen, &path);
}

void CRenderEngine::DrawLine(HDC hDC, POINT from, POINT to, int size, DWORD argb)
{
    if (!EnsureGdiplus()) return;
    Gdiplus::Graphics g(hDC);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::Pen pen(ToGdipColor(argb), static_cast<Gdiplus::REAL>(size));
    pen.SetStartCap(Gdiplus::LineCapRound);
    pen.SetEndCap(Gdiplus::LineCapRound);
    g.DrawLine(&pen, static_cast<Gdiplus::REAL>(from.x), static_cast<Gdiplus::REAL>(from.y),
               static_cast<Gdiplus::REAL>(to.x), static_cast<Gdiplus::REAL>(to.y));
}

bool CRenderEngine::DrawImageString(HDC hDC, CPaintManagerUI* manager, const RECT& rcItem,
                                    const RECT& rcPaint, const std::wstring& image)
{
    TImageDesc desc;
    if (!ParseImageDesc(image, desc)) return false;
    Gdiplus::Bitmap* bmp = GetCachedImage(ResolveImagePath(desc.file));
    if (!bmp) return false;

    RECT rcDest = rcItem;
    if (desc.hasDest) {
        RECT d = desc.dest;
        if (manager) {
            d = {manager->ScaleValue(d.left), manager->ScaleValue(d.top), manager->ScaleValue(d.right),
                 manager->ScaleValue(d.bottom)};
        }
        rcDest = {rcItem.left + d.left, rcItem.top + d.top, rcItem.left + d.right, rcItem.top + d.bottom};
    }
    RECT rcClip;
    if (!IntersectRects(rcClip, rcDest, rcPaint) || !IntersectRects(rcClip, rcClip, rcItem)) return true;

    RECT src = {0, 0, static_cast<LONG>(bmp->GetWidth()), static_cast<LONG>(bmp->GetHeight())};
    if (desc.hasSource) {
        RECT s = desc.source;
        if (!IntersectRects(src, src, s)) return false;
    }

    Gdiplus::Graphics g(hDC);
    g.SetClip(ToGdipRect(rcClip));
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::ImageAttributes attrs;
    // Edges of a stretched part must not pull in pixels from outside it.
    attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    if (desc.fade < 255) {
        Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0},
                                   {0, 1, 0, 0, 0},
                                   {0, 0, 1, 0, 0},
                                   {0, 0, 0, static_cast<Gdiplus::REAL>(desc.fade) / 255.0f, 0},
                                   {0, 0, 0, 0, 1}}};
        attrs.SetColorMatrix(&m);
    }
    auto draw = [&](int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) {
        if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
        g.DrawImage(bmp, Gdiplus::Rect(dx, dy, dw, dh), sx, sy, sw, sh, Gdiplus::UnitPixel, &attrs);
    };
    RECT c = desc.corner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        draw(rcDest.left, rcDest.top, RectWidth(rcDest), RectHeight(rcDest), src.left, src.top,
             RectWidth(src), RectHeight(src));
        return true;
    }
    // Nine-grid: corners keep their size (scaled with the dpi), edges and the
    // middle stretch.
    RECT dc = c;
    if (manager) {
        dc = {manager->ScaleValue(c.left), manager->ScaleValue(c.top), manager->ScaleValue(c.right),
              manager->ScaleValue(c.bottom)};
    }
    int dxs[4] = {rcDest.left, rcDest.left + dc.left, rcDest.right - dc.right, rcDest.right};
    int dys[4] = {rcDest.top, rcDest.top + dc.top, rcDest.bottom - dc.bottom, rcDest.bottom};
    int sxs[4] = {src.left, src.left + c.left, src.right - c.right, src.right};
    int sys[4] = {src.top, src.top + c.top, src.bottom - c.bottom, src.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            draw(dxs[col], dys[row], dxs[col + 1] - dxs[col], dys[row + 1] - dys[row], sxs[col], sys[row],
                 sxs[col + 1] - sxs[col], sys[row + 1] - sys[row]);
        }
    }
    return true;
}

void CRenderEngine::DrawText(HDC hDC, CPaintManagerUI* manager, RECT rc, const std::wstring& text, DWORD argb,
                             int font, UINT style)
{
    if (text.empty() || RectEmpty(rc)) return;
    HFONT hFont = manager ? manager->GetFont(font) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ old = SelectObject(hDC, hFont);
    int oldMode = SetBkMode(hDC, TRANSPARENT);
    COLORREF oldColor = SetTextColor(hDC, ArgbToColorRef(argb));
    ::DrawTextW(hDC, text.c_str(), static_cast<int>(text.size()), &rc, style | DT_NOPREFIX);
    SetTextColor(hDC, oldColor);
    SetBkMode(hDC, oldMode);
    SelectObject(hDC, old);
}

SIZE CRenderEngine::MeasureText(HDC hDC, CPaintManagerUI* manager, const std::wstring& text, int font)
{
    SIZE size = {0, 0};
    HFONT hFont = manager ? manager->GetFont(font) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ old = SelectObject(hDC, hFont);
    if (text.empty()) {
        TEXTMETRICW tm;
        GetTextMetricsW(hDC, &tm);
        size.cy = tm.tmHeight;
    } else {
        GetTextExtentPoint32W(hDC, text.c_str(), static_cast<int>(text.size()), &size);
    }
    SelectObject(hDC, old);
    return size;
}

void CRenderEngine::DrawHtmlText(HDC hDC, CPaintManagerUI* manager, RECT rc, const std::wstring& text,
                                 DWORD argb, int font, UINT style)
{
    if (text.empty() || RectEmpty(rc)) return;
    struct Piece {
        std::wstring text;
        HFONT font;
        COLORREF color;
        int width;
        int height;
        int ascent;
    };
    struct Line {
        std::vector<Piece> pieces;
        int width = 0;
        int height = 0;
        int ascent = 0;
    };
    std::vector<THtmlRun> runs = ParseHtmlText(text);
    const bool singleLine = (style & DT_SINGLELINE) != 0;
    const int maxWidth = RectWidth(rc);
    std::vector<Line> lines(1);
    HGDIOBJ oldFont = SelectObject(hDC, manager ? manager->GetFont(font) : GetStockObject(DEFAULT_GUI_FONT));
    auto fontMetrics = [&](HFONT f, int& height, int& ascent) {
        SelectObject(hDC, f);
        TEXTMETRICW tm;
        GetTextMetricsW(hDC, &tm);
        height = tm.tmHeight;
        ascent = tm.tmAscent;
    };
    auto addPiece = [&](const std::wstring& t, HFONT f, COLORREF color, int width, int height, int ascent) {
        Line& line = lines.back();
        line.pieces.push_back({t, f, color, width, height, ascent});
        line.width += width;
        line.height = std::max(line.height, height);
        line.ascent = std::max(line.ascent, ascent);
    };
    for (const THtmlRun& run : runs) {
        HFONT f = manager ? manager->GetFont(run.font >= 0 ? run.font : font)
                          : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        int height = 0, ascent = 0;
        fontMetrics(f, height, ascent);
        if (run.lineBreak) {
            if (lines.back().height == 0) {
                lines.back().height = height;
                lines.back().ascent = ascent;
            }
            if (!singleLine) lines.emplace_back();
            continue;
        }
        COLORREF color = ArgbToColorRef(run.color ? run.color : argb);
        std::wstring rest = run.text;
        while (!rest.empty()) {
            int available = maxWidth - lines.back().width;
            int fit = 0;
            SIZE sz = {0, 0};
            GetTextExtentExPointW(hDC, rest.c_str(), static_cast<int>(rest.size()), std::max(available, 0),
                                  &fit, nullptr, &sz);
            if (singleLine || fit >= static_cast<int>(rest.size())) {
                GetTextExtentPoint32W(hDC, rest.c_str(), static_cast<int>(rest.size()), &sz);
                addPiece(rest, f, color, sz.cx, height, ascent);
                break;
            }
            if (fit <= 0) {
                if (lines.back().pieces.empty()) {
                    fit = 1;  // a line always takes at least one character
                } else {
                    lines.emplace_back();
                    continue;
                }
            }
            // Prefer breaking after a blank; Chinese text breaks anywhere.
            size_t cut = static_cast<size_t>(fit);
            size_t blank = rest.find_last_of(L' ', cut);
            if (blank != std::wstring::npos && blank > 0 && blank < cut) cut = blank + 1;
            std::wstring head = rest.substr(0, cut);
            GetTextExtentPoint32W(hDC, head.c_str(), static_cast<int>(head.size()), &sz);
            addPiece(head, f, color, sz.cx, height, ascent);
            lines.emplace_back();
            rest = rest.substr(cut);
            while (!rest.empty() && rest[0] == L' ') rest.erase(0, 1);
        }
    }
    int total = 0;
    for (const Line& l : lines) total += l.height;
    int y = rc.top;
    if (style & DT_VCENTER)
        y = rc.top + (RectHeight(rc) - total) / 2;
    else if (style & DT_BOTTOM)
        y = rc.bottom - total;
    int oldMode = SetBkMode(hDC, TRANSPARENT);
    COLORREF oldColor = GetTextColor(hDC);
    ScopedRegion clip(CreateRectRgn(0, 0, 0, 0));
    bool hadClip = clip && GetClipRgn(hDC, clip.get()) == 1;
    IntersectClipRect(hDC, rc.left, rc.top, rc.right, rc.bottom);
    for (const Line& line : lines) {
        int x = rc.left;
        if (style & DT_CENTER)
            x = rc.left + (maxWidth - line.width) / 2;
        else if (style & DT_RIGHT)
            x = rc.right - line.width;
        for (const Piece& p : line.pieces) {
            SelectObject(hDC, p.font);
            SetTextColor(hDC, p.color);
            TextOutW(hDC, x, y + line.ascent - p.ascent, p.text.c_str(), static_cast<int>(p.text.size()));
            x += p.width;
        }
        y += line.height;
    }
    SelectClipRgn(hDC, hadClip ? clip.get() : nullptr);
    SetTextColor(hDC, oldColor);
    SetBkMode(hDC, oldMode);
    SelectObject(hDC, oldFont);
}

bool CRenderEngine::SavePixelsAsPng(const std::vector<DWORD>& pixels, int cx, int cy,
                                    const std::wstring& path)
{
    if (cx <= 0 || cy <= 0 || pixels.size() < static_cast<size_t>(cx) * static_cast<size_t>(cy)) return false;
    if (!EnsureGdiplus()) return false;
    CLSID png;
    if (!GetPngEncoder(png)) return false;
    Gdiplus::Bitmap bmp(cx, cy, cx * 4, PixelFormat32bppRGB,
                        reinterpret_cast<BYTE*>(const_cast<DWORD*>(pixels.data())));
    if (bmp.GetLastStatus() != Gdiplus::Ok) return false;
    return bmp.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace DuiLib
