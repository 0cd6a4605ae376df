// The skin reader and the attribute text parsers.
#include <gtest/gtest.h>

#include "DuiLib/DuiLib.h"

using namespace DuiLib;

namespace {

std::string Utf8(const wchar_t* text)
{
    return WideToUtf8(text);
}

}  // namespace

TEST(UIMarkup, ReadsElementsAttributesAndLines)
{
    CMarkup m;
    ASSERT_TRUE(
        m.LoadFromText(L"<?xml version=\"1.0\"?>\n<!-- c -->\n<Window a=\"1\" b='two'>\n"
                       L"  <Label text=\"x &amp; &lt;y&gt; &#x4E2D;&#25991;\"/>\n"
                       L"  <Button/>\n</Window>\n"));
    const CMarkupNode* root = m.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), L"Window");
    EXPECT_EQ(root->GetLine(), 3);
    ASSERT_EQ(root->GetAttributes().size(), 2u);
    EXPECT_EQ(root->GetAttributeValue(L"b"), L"two");
    EXPECT_EQ(root->GetAttributeValue(L"missing"), L"");
    ASSERT_EQ(root->GetChildren().size(), 2u);
    EXPECT_EQ(root->GetChildren()[0]->GetAttributeValue(L"text"), L"x & <y> 中文");
    EXPECT_EQ(root->GetChildren()[0]->GetLine(), 4);
    EXPECT_EQ(root->GetChildren()[1]->GetLine(), 5);
}

TEST(UIMarkup, FaultsAreReportedWithTheirLine)
{
    struct Case {
        const wchar_t* text;
        int line;
    } cases[] = {
        {L"<A>\n<B>\n</A>", 3},                   // closing tag does not match
        {L"<A>\n<B x=\"1\" x=\"2\"/>\n</A>", 2},  // attribute twice
        {L"<A>\n\n<B x=1/></A>", 3},              // unquoted value
        {L"<A x=\"a<b\"/>", 1},                   // '<' in a value
        {L"<A>&bogus;</A>", 1},                   // unknown entity
        {L"<A/>\n<B/>", 2},                       // second root
        {L"<A>\n<B>\n", 3},                       // file ends inside an element
        {L"", 1},                                 // nothing at all
        {L"  just text", 1},                      // no element
        {L"<A><!-- open comment </A>", 1},        // comment never closed
        {L"<A x=\"1\"y=\"2\"/>", 1},              // no blank between attributes
        {L"<1A/>", 1},                            // bad name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Utf8(c.text));
        CMarkup m;
        EXPECT_FALSE(m.LoadFromText(c.text));
        EXPECT_EQ(m.GetRoot(), nullptr);
        EXPECT_FALSE(m.GetLastErrorMessage().empty());
        EXPECT_EQ(m.GetErrorLine(), c.line);
    }
}

TEST(UIMarkup, HostileNestingStopsWithoutCrashing)
{
    std::wstring deep;
    for (int i = 0; i < 5000; ++i) deep += L"<a>";
    CMarkup m;
    EXPECT_FALSE(m.LoadFromText(deep));
    EXPECT_NE(m.GetLastErrorMessage().find(L"deep"), std::wstring::npos);
}

TEST(UIAttributes, IntegersRectsAndSizes)
{
    int v = 7;
    EXPECT_TRUE(ParseInt(L" -12 ", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(ParseInt(L"2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(ParseInt(L"-2147483648", v));
    EXPECT_EQ(v, static_cast<int>(-2147483647 - 1));
    v = 7;
    EXPECT_FALSE(ParseInt(L"2147483648", v));
    EXPECT_FALSE(ParseInt(L"12a", v));
    EXPECT_FALSE(ParseInt(L"", v));
    EXPECT_FALSE(ParseInt(L"-", v));
    EXPECT_EQ(v, 7);
    EXPECT_EQ(ReadLeadingInt(L"  30days"), 30);
    EXPECT_EQ(ReadLeadingInt(L"abc"), 0);

    RECT rc = ParseRect(L"1, 2,3 ,4");
    EXPECT_EQ(rc.left, 1);
    EXPECT_EQ(rc.top, 2);
    EXPECT_EQ(rc.right, 3);
    EXPECT_EQ(rc.bottom, 4);
    rc = ParseRect(L"5,6");  // missing parts are 0
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.bottom, 0);
    SIZE sz = ParseSize(L"320,x");
    EXPECT_EQ(sz.cx, 320);
    EXPECT_EQ(sz.cy, 0);
    EXPECT_TRUE(ParseBool(L"TRUE"));
    EXPECT_TRUE(ParseBool(L"1"));
    EXPECT_FALSE(ParseBool(L"yes"));
}

TEST(UIAttributes, Colours)
{
    DWORD c = 0;
    EXPECT_TRUE(ParseColor(L"#2B6CE0", c));
    EXPECT_EQ(c, 0xFF2B6CE0u);  // six digits are opaque
    EXPECT_TRUE(ParseColor(L"#802b6ce0", c));
    EXPECT_EQ(c, 0x802B6CE0u);
    EXPECT_TRUE(ParseColor(L"0xFF000000", c));
    EXPECT_EQ(c, 0xFF000000u);
    c = 1;
    EXPECT_FALSE(ParseColor(L"#12345", c));
    EXPECT_FALSE(ParseColor(L"#GG0000", c));
    EXPECT_FALSE(ParseColor(L"red", c));
    EXPECT_EQ(c, 1u);
}

TEST(UIHtmlText, RunsCarryFontAndColour)
{
    // Each run as "text font colour", a line break as "{n}".
    std::vector<std::wstring> runs;
    for (const THtmlRun& r : ParseHtmlText(L"a{f 2}b{c #FF0000}c{/c}d{/f}e{n}f"))
        runs.push_back(r.lineBreak ? L"{n}" : r.text + L" " + std::to_wstring(r.font) + L" " + std::to_wstring(r.color));
    EXPECT_EQ((std::vector<std::wstring>{L"a -1 0", L"b 2 0", L"c 2 4294901760", L"d 2 0", L"e -1 0", L"{n}",
                                         L"f -1 0"}),
              runs);
}
