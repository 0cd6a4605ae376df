// A complete dialog rendered without a screen into PNG files (screenshots/) at 100 % and 150 %, to be
// checked by eye; the pixels are checked here for what must be there.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "DuiTestWindow.h"

using namespace DuiLib;

namespace {

struct Rendered {
    duitest::Pixels px;
    RECT okButton;
    RECT title;
    RECT closeButton;
};

bool RenderSample(int dpi, const std::wstring& png, Rendered& out)
{
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"sample_dialog.xml", nullptr, nullptr, &pm);
    if (!root) return false;
    pm.AttachDialog(root);
    pm.SetDPI(dpi);
    SIZE size = pm.GetInitSize();
    if (!pm.SaveSnapshot(png, size.cx, size.cy)) return false;
    if (!duitest::Render(pm, out.px, size.cx, size.cy)) return false;
    out.okButton = pm.FindControl(L"Button_Modify")->GetPos();
    out.title = pm.FindControl(L"Label_ChangePassword_Title")->GetPos();
    out.closeButton = pm.FindControl(L"closebtn")->GetPos();
    return true;
}

}  // namespace

TEST(UISample, DialogRendersToPngAtOneHundredAndOneHundredFiftyPercent)
{
    duitest::SkinFolder skins;
    Rendered normal, large;
    ASSERT_TRUE(RenderSample(96, testsupport::ScreenshotPath(L"duilib-sample.png"), normal));
    ASSERT_TRUE(RenderSample(144, testsupport::ScreenshotPath(L"duilib-sample-150.png"), large));

    EXPECT_EQ(normal.px.cx, 440);
    EXPECT_EQ(normal.px.cy, 400);
    EXPECT_EQ(large.px.cx, 660);
    EXPECT_EQ(large.px.cy, 600);
    // Geometry follows the scale.
    EXPECT_EQ(RectWidth(large.okButton), RectWidth(normal.okButton) * 3 / 2);
    EXPECT_EQ(large.okButton.right, normal.okButton.right * 3 / 2);

    for (const Rendered* r : {&normal, &large}) {
        SCOPED_TRACE(r->px.cx);
        // The primary button is filled with the accent colour and carries
        // white text; the title has dark ink on white.
        EXPECT_GT(r->px.CountNear(r->okButton, 0x2B6CE0, 8),
                  RectWidth(r->okButton) * RectHeight(r->okButton) / 2);
        EXPECT_GT(r->px.CountNear(r->okButton, 0xFFFFFF, 40), 10);
        EXPECT_GT(r->px.InkRows(r->title, 0xFFFFFF), 8);
        EXPECT_GT(r->px.CountNear(r->title, 0x1F1F1F, 60), 20);
        // The close glyph is drawn in dark ink that is easy to see.
        EXPECT_GT(r->px.CountNear(r->closeButton, 0x1F1F1F, 90), 12);
        // Rounded window corners: the very corner pixel is not the border colour.
        EXPECT_NE(r->px.At(0, 0), 0xD6D9DEu);
    }
    // Text is drawn at the larger size, not stretched: ink grows by about 1.5.
    int small = normal.px.InkRows(normal.title, 0xFFFFFF);
    int big = large.px.InkRows(large.title, 0xFFFFFF);
    EXPECT_GE(big * 10, small * 13) << small << " -> " << big;
}

namespace {

// A white 32-bit top-down bitmap selected into a memory DC.
class WhiteCanvas {
public:
    WhiteCanvas(int cx, int cy)
        : m_cx(cx), m_dc(CreateCompatibleDC(nullptr)), m_bmp(WhiteBitmap(m_dc.get(), cx, cy, m_bits))
    {
    }
    bool Ok() const { return static_cast<bool>(m_bmp); }
    HDC Dc() const { return m_dc.get(); }
    // Lets the engine write into the pixels as it does into a window's back buffer.
    void OpenBackBuffer(int cx, int cy) { m_scope.emplace(m_dc.get(), m_bits, cx, cy); }
    DWORD At(int x, int y) const
    {
        GdiFlush();
        return m_bits[y * m_cx + x] & 0xFFFFFF;
    }

private:
    static HBITMAP WhiteBitmap(HDC dc, int cx, int cy, DWORD*& bits)
    {
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(bi.bmiHeader), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        if (bmp) std::fill(bits, bits + cx * cy, 0xFFFFFFu);
        return bmp;
    }

    int m_cx;
    DWORD* m_bits = nullptr;
    ScopedCreatedDC m_dc;
    ScopedBitmap m_bmp;
    ScopedSelectObject m_select{m_dc.get(), m_bmp.get()};
    std::optional<CBackBufferScope> m_scope;  // last: goes first
};

}  // namespace

// A square border lies inside its rectangle on all four sides, whatever its
// width: at 100 % a one-pixel border must keep its right and bottom edges.
// Drawn by GDI+ on a plain DC; the back buffer's drawing is held to it below.
TEST(UISample, BordersFillTheirEdgesInsideTheRectangle)
{
    ASSERT_TRUE(CRenderEngine::EnsureGdiplus());
    const RECT rc = {3, 2, 23, 14};
    for (int size : {1, 2}) {
        SCOPED_TRACE(size);
        WhiteCanvas canvas(28, 18);
        ASSERT_TRUE(canvas.Ok());
        CRenderEngine::DrawBorder(canvas.Dc(), rc, size, 0, 0, 0xFF102030);
        // Ink on exactly the outermost `size` rows and columns inside the rectangle; white everywhere else.
        for (int y = 0; y < 18; ++y) {
            for (int x = 0; x < 28; ++x) {
                const bool inside = x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
                const bool edge = inside && (x < rc.left + size || x >= rc.right - size || y < rc.top + size ||
                                             y >= rc.bottom - size);
                ASSERT_EQ(edge ? 0x102030u : 0xFFFFFFu, canvas.At(x, y)) << x << "," << y;
            }
        }
    }

    // A rounded one-pixel border keeps all four straight edges inside.
    {
        WhiteCanvas round(28, 18);
        ASSERT_TRUE(round.Ok());
        CRenderEngine::DrawBorder(round.Dc(), rc, 1, 6, 6, 0xFF102030);
        const int midX = (rc.left + rc.right) / 2;
        const int midY = (rc.top + rc.bottom) / 2;
        auto dark = [&](int x, int y) { return (round.At(x, y) & 0xFF) < 0x90; };
        EXPECT_TRUE(dark(midX, rc.top));
        EXPECT_TRUE(dark(midX, rc.bottom - 1));
        EXPECT_TRUE(dark(rc.left, midY));
        EXPECT_TRUE(dark(rc.right - 1, midY));
        EXPECT_EQ(round.At(midX, rc.bottom), 0xFFFFFFu);
        EXPECT_EQ(round.At(rc.right, midY), 0xFFFFFFu);
    }

    // A translucent border is blended once, corners included.
    WhiteCanvas canvas(28, 18);
    ASSERT_TRUE(canvas.Ok());
    CRenderEngine::DrawBorder(canvas.Dc(), rc, 1, 0, 0, 0x80000000);
    DWORD edge = canvas.At((rc.left + rc.right) / 2, rc.top);
    EXPECT_NE(edge, 0xFFFFFFu);
    EXPECT_EQ(canvas.At(rc.left, rc.top), edge);
    EXPECT_EQ(canvas.At(rc.right - 1, rc.bottom - 1), edge);
    EXPECT_EQ(canvas.At(rc.right - 1, (rc.top + rc.bottom) / 2), edge);
}

// A shape in a back buffer is pieced together from cached corners and plain
// bands; every pixel must match what GDI+ draws of the whole shape, whether it
// is square, large, too small for straight parts, or translucent.
TEST(UISample, ShapesInABackBufferMatchGdiplus)
{
    ASSERT_TRUE(CRenderEngine::EnsureGdiplus());
    struct Case {
        RECT rc;
        int size;  // 0: filled
        int radius;
        DWORD argb;
    };
    const Case cases[] = {{{3, 2, 57, 38}, 0, 12, 0xFF2B6CE0}, {{3, 2, 57, 38}, 1, 8, 0xFFC8CCD2},
                          {{5, 4, 50, 30}, 2, 10, 0x80102030}, {{4, 4, 14, 12}, 0, 12, 0xFF102030},
                          {{0, 0, 60, 40}, 3, 6, 0xC0E81123}, {{3, 2, 23, 14}, 1, 0, 0xFF102030},
                          {{3, 2, 23, 14}, 2, 0, 0xFF102030}, {{3, 2, 23, 14}, 1, 0, 0x80000000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << " radius " << c.radius);
        WhiteCanvas gdiplus(60, 40);
        WhiteCanvas buffer(60, 40);
        ASSERT_TRUE(gdiplus.Ok() && buffer.Ok());
        buffer.OpenBackBuffer(60, 40);
        for (WhiteCanvas* canvas : {&gdiplus, &buffer}) {
            if (c.size == 0)
                CRenderEngine::DrawRoundColor(canvas->Dc(), c.rc, c.radius, c.radius, c.argb);
            else
                CRenderEngine::DrawBorder(canvas->Dc(), c.rc, c.size, c.radius, c.radius, c.argb);
        }
        int worst = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 60; ++x) {
                const DWORD a = gdiplus.At(x, y);
                const DWORD b = buffer.At(x, y);
                for (int shift = 0; shift < 24; shift += 8)
                    worst = (std::max)(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
                ASSERT_LE(worst, 3) << "at " << x << "," << y << ": " << std::hex << a << " vs " << b;
            }
        }
    }
}
