// Drawing primitives, the process-wide image and shape caches and the
// "showhtml" markup. GDI draws text (its font linking covers Chinese in every
// family); GDI+ renders what needs alpha or anti-aliasing (PNG images and
// rounded shapes) once into cached sprites that painting blends into the
// window's back buffer.
#include "DuiLib/UIRender.h"
#include "DuiLib/UIColorScheme.h"

#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cmath>
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

// ---- Sprites ---------------------------------------------------------------------------
// GDI+ drawing onto a DC that holds a 32-bit bitmap goes through a temporary
// bitmap the size of the shape on every call; that made one repaint of the
// main window cost over 10 ms. So shapes and images are rendered by GDI+ once
// into premultiplied pixels of our own ("sprites") and blended straight into
// the 32-bit back buffer on every paint.

struct Sprite {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;  // premultiplied ARGB, top-down
};
using SpritePtr = std::shared_ptr<const Sprite>;

// Sprites of every window; cleared whole when it grows past the limit, which
// only a window resized many times reaches.
constexpr size_t kSpriteCacheLimit = 24u * 1024u * 1024u;
// A shape larger than this is drawn by GDI+ directly rather than cached.
constexpr size_t kSpriteMaxBytes = kSpriteCacheLimit / 8;
bool FitsSprite(int width, int height)
{
    return width > 0 && height > 0 &&
           static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(DWORD) <= kSpriteMaxBytes;
}

struct SpriteCache {
    std::map<std::wstring, SpritePtr> entries;
    size_t bytes = 0;
};
SpriteCache& Sprites()
{
    static SpriteCache cache;
    return cache;
}

template <typename Draw>
SpritePtr RenderSprite(int width, int height, Draw&& draw)
{
    auto sprite = std::make_shared<Sprite>();
    sprite->width = width;
    sprite->height = height;
    sprite->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    Gdiplus::Bitmap target(width, height, width * 4, PixelFormat32bppPARGB,
                           reinterpret_cast<BYTE*>(sprite->pixels.data()));
    if (target.GetLastStatus() != Gdiplus::Ok) return nullptr;
    {
        Gdiplus::Graphics g(&target);
        if (g.GetLastStatus() != Gdiplus::Ok) return nullptr;
        draw(g);
    }
    return sprite;
}

template <typename Draw>
SpritePtr CachedSprite(const std::wstring& key, int width, int height, Draw&& draw)
{
    if (!FitsSprite(width, height) || !CRenderEngine::EnsureGdiplus()) return nullptr;
    std::lock_guard<std::mutex> guard(CacheLock());
    SpriteCache& cache = Sprites();
    auto found = cache.entries.find(key);
    if (found != cache.entries.end()) return found->second;
    SpritePtr sprite = RenderSprite(width, height, draw);
    if (!sprite) return nullptr;
    const size_t bytes = sprite->pixels.size() * sizeof(DWORD);
    if (cache.bytes + bytes > kSpriteCacheLimit) {
        cache.entries.clear();
        cache.bytes = 0;
    }
    cache.entries.emplace(key, sprite);
    cache.bytes += bytes;
    return sprite;
}

// The pixels behind a back buffer that is being painted, with the DC's
// current clip. A DC with a mapping or a clip that is not one rectangle is
// drawn on by GDI+ itself.
struct DibTarget {
    BYTE* bits = nullptr;
    int width = 0;
    int height = 0;
    RECT clip = {0, 0, 0, 0};

    DWORD* Row(int y) const { return reinterpret_cast<DWORD*>(bits) + static_cast<ptrdiff_t>(y) * width; }
};

struct BackBuffer {
    HDC dc;
    BYTE* bits;
    int width;
    int height;
};
// GDI does not say whether a DIB is top-down, so only buffers their owner
// vouches for are written directly. Plain arrays: a thread_local with a
// destructor would pin this library in the host until the thread ends.
constexpr int kMaxBackBuffers = 4;
thread_local BackBuffer t_backBuffers[kMaxBackBuffers];
thread_local int t_backBufferCount = 0;

bool FindDibTarget(HDC hdc, DibTarget& target)
{
    const BackBuffer* found = nullptr;
    for (int i = t_backBufferCount - 1; i >= 0 && !found; --i) {
        if (t_backBuffers[i].dc == hdc) found = &t_backBuffers[i];
    }
    if (!found || !found->bits || ::GetMapMode(hdc) != MM_TEXT ||
        ::GetGraphicsMode(hdc) != GM_COMPATIBLE)
        return false;
    POINT viewport = {0, 0};
    POINT window = {0, 0};
    if (!::GetViewportOrgEx(hdc, &viewport) || !::GetWindowOrgEx(hdc, &window) || viewport.x || viewport.y ||
        window.x || window.y)
        return false;
    RECT box;
    const int clip = ::GetClipBox(hdc, &box);
    if (clip == ERROR || clip == COMPLEXREGION) return false;
    if (clip == NULLREGION) box = {0, 0, 0, 0};
    const RECT bounds = {0, 0, found->width, found->height};
    if (!::IntersectRect(&target.clip, &box, &bounds)) target.clip = {0, 0, 0, 0};
    target.bits = found->bits;
    target.width = found->width;
    target.height = found->height;
    // GDI may still hold batched drawing for these pixels.
    ::GdiFlush();
    return true;
}

// Source-over of a premultiplied pixel.
inline DWORD BlendOver(DWORD src, DWORD dst)
{
    const DWORD alpha = src >> 24;
    if (alpha == 255) return src;
    if (alpha == 0) return dst;
    const DWORD keep = 255 - alpha;
    DWORD out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const DWORD value = ((src >> shift) & 0xFF) + (((dst >> shift) & 0xFF) * keep + 127) / 255;
        out |= (std::min)(value, DWORD(255)) << shift;
    }
    return out;
}

DWORD Premultiply(DWORD argb)
{
    const DWORD alpha = argb >> 24;
    auto channel = [&](int shift) { return ((((argb >> shift) & 0xFF) * alpha + 127) / 255) << shift; };
    return (alpha << 24) | channel(16) | channel(8) | channel(0);
}

// Blends `sprite`, placed with its top-left corner at `origin`, into `area`
// of the target (clipped to the target's clip).
void BlendSprite(const DibTarget& target, const Sprite& sprite, POINT origin, const RECT& area)
{
    const RECT placed = {origin.x, origin.y, origin.x + sprite.width, origin.y + sprite.height};
    RECT rc;
    if (!::IntersectRect(&rc, &placed, &area) || !::IntersectRect(&rc, &rc, &target.clip)) return;
    for (LONG y = rc.top; y < rc.bottom; ++y) {
        DWORD* dst = target.Row(y);
        const DWORD* src = sprite.pixels.data() + static_cast<size_t>(y - origin.y) * sprite.width;
        for (LONG x = rc.left; x < rc.right; ++x) dst[x] = BlendOver(src[x - origin.x], dst[x]);
    }
}

void BlendColor(const DibTarget& target, const RECT& area, DWORD argb)
{
    RECT rc;
    if (!::IntersectRect(&rc, &area, &target.clip)) return;
    const DWORD src = Premultiply(argb);
    for (LONG y = rc.top; y < rc.bottom; ++y) {
        DWORD* dst = target.Row(y);
        for (LONG x = rc.left; x < rc.right; ++x) dst[x] = BlendOver(src, dst[x]);
    }
}

// A rounded rectangle, filled (size 0) or outlined with a pen of `size`.
struct RoundShape {
    int radiusX;
    int radiusY;
    int size;
    DWORD argb;
};

void PaintRoundShape(Gdiplus::Graphics& g, const RECT& rc, const RoundShape& shape)
{
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::GraphicsPath path;
    if (shape.size == 0) {
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        AddRoundRectPath(path,
                         Gdiplus::RectF(static_cast<float>(rc.left), static_cast<float>(rc.top),
                                        static_cast<float>(RectWidth(rc)), static_cast<float>(RectHeight(rc))),
                         static_cast<float>(shape.radiusX) / 2, static_cast<float>(shape.radiusY) / 2);
        Gdiplus::SolidBrush brush(ToGdipColor(shape.argb));
        g.FillPath(&brush, &path);
        return;
    }
    // Pixel centres sit on whole coordinates here, so a pen of `size` whose
    // centre line is (size - 1) / 2 inside covers exactly the outer pixels.
    Gdiplus::Pen pen(ToGdipColor(shape.argb), static_cast<Gdiplus::REAL>(shape.size));
    const float inset = static_cast<float>(shape.size - 1) / 2;
    Gdiplus::RectF r(rc.left + inset, rc.top + inset, RectWidth(rc) - 1 - 2 * inset,
                     RectHeight(rc) - 1 - 2 * inset);
    AddRoundRectPath(path, r, static_cast<float>(shape.radiusX) / 2, static_cast<float>(shape.radiusY) / 2);
    g.DrawPath(&pen, &path);
}

// Draws a rounded shape into a 32-bit back buffer: the four corners come
// from one small sprite of the shape, the straight parts are plain colour.
// A shape too small to have straight parts is one sprite of its own size.
void DrawRoundShape(const DibTarget& target, const RECT& rc, const RoundShape& shape)
{
    const int width = RectWidth(rc);
    const int height = RectHeight(rc);
    const float inset = shape.size > 0 ? static_cast<float>(shape.size - 1) / 2 : 0.0f;
    // One pixel past the arc leaves room for its anti-aliased edge.
    const int cornerX = (std::max)(static_cast<int>(std::ceil(shape.radiusX / 2.0f + inset)) + 1, shape.size + 1);
    const int cornerY = (std::max)(static_cast<int>(std::ceil(shape.radiusY / 2.0f + inset)) + 1, shape.size + 1);
    const bool split = 2 * cornerX < width && 2 * cornerY < height;
    const int spriteWidth = split ? 2 * cornerX + 1 : width;
    const int spriteHeight = split ? 2 * cornerY + 1 : height;
    wchar_t key[96];
    swprintf(key, 96, L"round|%d|%d|%d|%08lx|%d|%d", shape.radiusX, shape.radiusY, shape.size,
             static_cast<unsigned long>(shape.argb), spriteWidth, spriteHeight);
    SpritePtr sprite = CachedSprite(key, spriteWidth, spriteHeight, [&](Gdiplus::Graphics& g) {
        PaintRoundShape(g, {0, 0, spriteWidth, spriteHeight}, shape);
    });
    if (!sprite) return;
    if (!split) {
        BlendSprite(target, *sprite, {rc.left, rc.top}, rc);
        return;
    }
    const LONG innerLeft = rc.left + cornerX;
    const LONG innerRight = rc.right - cornerX;
    const LONG innerTop = rc.top + cornerY;
    const LONG innerBottom = rc.bottom - cornerY;
    BlendSprite(target, *sprite, {rc.left, rc.top}, {rc.left, rc.top, innerLeft, innerTop});
    BlendSprite(target, *sprite, {rc.right - spriteWidth, rc.top}, {innerRight, rc.top, rc.right, innerTop});
    BlendSprite(target, *sprite, {rc.left, rc.bottom - spriteHeight}, {rc.left, innerBottom, innerLeft, rc.bottom});
    BlendSprite(target, *sprite, {rc.right - spriteWidth, rc.bottom - spriteHeight},
                {innerRight, innerBottom, rc.right, rc.bottom});
    auto fill = [&](const RECT& band) { BlendColor(target, band, shape.argb); };
    if (shape.size == 0) {
        fill({innerLeft, rc.top, innerRight, innerTop});
        fill({rc.left, innerTop, rc.right, innerBottom});
        fill({innerLeft, innerBottom, innerRight, rc.bottom});
        return;
    }
    fill({innerLeft, rc.top, innerRight, rc.top + shape.size});
    fill({innerLeft, rc.bottom - shape.size, innerRight, rc.bottom});
    fill({rc.left, innerTop, rc.left + shape.size, innerBottom});
    fill({rc.right - shape.size, innerTop, rc.right, innerBottom});
}

void DrawRoundShapeOn(HDC hdc, const RECT& rc, const RoundShape& shape)
{
    DibTarget target;
    if (FitsSprite(RectWidth(rc), RectHeight(rc)) && FindDibTarget(hdc, target)) {
        DrawRoundShape(target, rc, shape);
        return;
    }
    if (!CRenderEngine::EnsureGdiplus()) return;
    Gdiplus::Graphics g(hdc);
    PaintRoundShape(g, rc, shape);
}

// Which part of which image goes where: the whole source stretched, or a
// nine-grid whose corners keep their size (scaled with the dpi).
struct ImagePlacement {
    Gdiplus::Bitmap* bitmap;
    RECT source;
    RECT corner;        // image pixels
    RECT scaledCorner;  // destination pixels
    BYTE fade;
};

void PaintImage(Gdiplus::Graphics& g, const RECT& rcDest, const ImagePlacement& image)
{
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::ImageAttributes attrs;
    // Edges of a stretched part must not pull in pixels from outside it.
    attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    if (image.fade < 255) {
        Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0},
                                   {0, 1, 0, 0, 0},
                                   {0, 0, 1, 0, 0},
                                   {0, 0, 0, static_cast<Gdiplus::REAL>(image.fade) / 255.0f, 0},
                                   {0, 0, 0, 0, 1}}};
        attrs.SetColorMatrix(&m);
    }
    auto draw = [&](int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) {
        if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
        g.DrawImage(image.bitmap, Gdiplus::Rect(dx, dy, dw, dh), sx, sy, sw, sh, Gdiplus::UnitPixel, &attrs);
    };
    const RECT& src = image.source;
    const RECT& c = image.corner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        draw(rcDest.left, rcDest.top, RectWidth(rcDest), RectHeight(rcDest), src.left, src.top,
             RectWidth(src), RectHeight(src));
        return;
    }
    const RECT& dc = image.scaledCorner;
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

CBackBufferScope::CBackBufferScope(HDC dc, void* bits, int cx, int cy)
{
    // Painting nested deeper than the table is drawn by GDI+ as before.
    if (t_backBufferCount >= kMaxBackBuffers) return;
    t_backBuffers[t_backBufferCount++] = {dc, static_cast<BYTE*>(bits), cx, cy};
    m_registered = true;
}

CBackBufferScope::~CBackBufferScope()
{
    ::GdiFlush();
    if (m_registered) t_backBuffers[--t_backBufferCount] = {};
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
    Sprites().entries.clear();
    Sprites().bytes = 0;
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
    DibTarget target;
    if (FindDibTarget(hDC, target)) {
        BlendColor(target, rc, argb);
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
    DrawRoundShapeOn(hDC, rc, {radiusX, radiusY, 0, argb});
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
    DrawRoundShapeOn(hDC, rc, {radiusX, radiusY, size, argb});
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
    const std::wstring path = ResolveImagePath(desc.file);
    Gdiplus::Bitmap* bmp = GetCachedImage(path);
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

    RECT c = desc.corner;
    RECT dc = c;
    if (manager) {
        dc = {manager->ScaleValue(c.left), manager->ScaleValue(c.top), manager->ScaleValue(c.right),
              manager->ScaleValue(c.bottom)};
    }
    const ImagePlacement placement = {bmp, src, c, dc, desc.fade};
    const int width = RectWidth(rcDest);
    const int height = RectHeight(rcDest);
    DibTarget target;
    if (FitsSprite(width, height) && FindDibTarget(hDC, target)) {
        wchar_t parts[160];
        swprintf(parts, 160, L"|%ld,%ld,%ld,%ld|%ld,%ld,%ld,%ld|%ld,%ld,%ld,%ld|%d|%d|%d", src.left, src.top,
                 src.right, src.bottom, c.left, c.top, c.right, c.bottom, dc.left, dc.top, dc.right, dc.bottom,
                 desc.fade, width, height);
        SpritePtr sprite =
            CachedSprite(L"image|" + CacheKey(path) + parts, width, height,
                         [&](Gdiplus::Graphics& g) { PaintImage(g, {0, 0, width, height}, placement); });
        if (sprite) BlendSprite(target, *sprite, {rcDest.left, rcDest.top}, rcClip);
        return true;
    }
    Gdiplus::Graphics g(hDC);
    g.SetClip(ToGdipRect(rcClip));
    PaintImage(g, rcDest, placement);
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
    const bool highContrast = CColorScheme::IsHighContrast();
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
        // Inline colours are the skin's too: high contrast keeps the caller's.
        COLORREF color = ArgbToColorRef(run.color && !highContrast ? run.color : argb);
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
