// A complete dialog rendered without a screen into PNG files in the build
// tree (screenshots/), at 100 % and at 150 %, so the toolkit's look can be
// checked by eye; the pixels are checked here for what must be there.
#include <gtest/gtest.h>

#include "DuiTestWindow.h"

using namespace DuiLib;

namespace {

std::wstring ScreenshotDir()
{
    std::wstring dir = testsupport::BuildDir() + L"\\screenshots";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

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
    std::wstring dir = ScreenshotDir();
    Rendered normal, large;
    ASSERT_TRUE(RenderSample(96, dir + L"\\duilib-sample.png", normal));
    ASSERT_TRUE(RenderSample(144, dir + L"\\duilib-sample-150.png", large));
    EXPECT_TRUE(testsupport::FileExists(dir + L"\\duilib-sample.png"));
    EXPECT_TRUE(testsupport::FileExists(dir + L"\\duilib-sample-150.png"));

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
        // Rounded window corners: the very corner pixel is not the border colour.
        EXPECT_NE(r->px.At(0, 0), 0xD6D9DEu);
    }
    // Text is drawn at the larger size, not stretched: ink grows by about 1.5.
    int small = normal.px.InkRows(normal.title, 0xFFFFFF);
    int big = large.px.InkRows(large.title, 0xFFFFFF);
    EXPECT_GE(big * 10, small * 13) << small << " -> " << big;
    RecordProperty("font_face", testsupport::ToUtf8(L"see screenshots"));
}

TEST(UISample, SkinFontFamilyIsMadeOrFallsBack)
{
    duitest::SkinFolder skins;
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"sample_dialog.xml", nullptr, nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    std::wstring face = pm.GetFontFace(0);
    RecordProperty("font_face", testsupport::ToUtf8(face));
    EXPECT_FALSE(face.empty());
    // The text is drawn with a font that has Chinese glyphs: the width of
    // two CJK characters is far more than that of two narrow Latin letters.
    HDC screen = GetDC(nullptr);
    SIZE cjk = CRenderEngine::MeasureText(screen, &pm, L"中文", 0);
    SIZE latin = CRenderEngine::MeasureText(screen, &pm, L"il", 0);
    ReleaseDC(nullptr, screen);
    EXPECT_GT(cjk.cx, latin.cx * 2);
}
