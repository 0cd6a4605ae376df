// The command mailbox as the host sees it: exact bytes in the shared area.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "DuiLib/ScopedWin.h"
#include "Plugin/HostCommandMailbox.h"
#include "Plugin/HostInterfaces.h"

namespace {

// The host side of the mailbox: a named mapping larger than the plug-in's
// part, so writes past 1024 bytes would show.
class HostArea {
public:
    unsigned char* Bytes() { return static_cast<unsigned char*>(m_view_.get()); }
    std::wstring Text(size_t chars) { return std::wstring(reinterpret_cast<wchar_t*>(Bytes()), chars); }
    bool ZeroFrom(size_t offset, size_t end)
    {
        for (size_t i = offset; i < end; ++i) {
            if (Bytes()[i] != 0) return false;
        }
        return true;
    }

private:
    DuiLib::ScopedHandle m_mapping_{
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, kHostMailboxName)};
    DuiLib::ScopedMappedView m_view_{MapViewOfFile(m_mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 4096)};
};

}  // namespace

TEST(HostCommandMailbox, WithoutHostMailboxNothingIsWritten)
{
    EXPECT_EQ(1, WriteHostCommand(PluginIds::Self, L"/ShowWindow=show"));
    EXPECT_EQ(1, WriteHostMailbox("x", 1));
    // The size check comes first: an oversized write is refused as such.
    EXPECT_EQ(-1, WriteHostMailbox("x", 1025));
}

TEST(HostCommandMailbox, CommandIsIdentifierBarParametersInUtf16WithoutTerminator)
{
    HostArea area;
    ASSERT_NE(nullptr, area.Bytes());
    std::memset(area.Bytes(), 0xAB, 4096);
    ASSERT_EQ(0, WriteHostCommand(PluginIds::Self, L"/ShowWindow=none|/ChangeViewWhileOnHomeControl=true"));
    const std::wstring expected =
        L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972|/ShowWindow=none|/ChangeViewWhileOnHomeControl=true";
    EXPECT_EQ(expected, area.Text(expected.size()));
    // Zero-filled to 1024 bytes, and not one byte further.
    EXPECT_TRUE(area.ZeroFrom(expected.size() * 2, 1024));
    EXPECT_EQ(0xAB, area.Bytes()[1024]);
}

TEST(HostCommandMailbox, EmptyParametersEndWithTheBar)
{
    HostArea area;
    ASSERT_EQ(0, WriteHostCommand(PluginIds::PinUnlock, L""));
    const std::wstring expected = L"871F89C4-A418-4361-90D9-29AF05B186B3|";
    EXPECT_EQ(expected, area.Text(expected.size()));
    EXPECT_TRUE(area.ZeroFrom(expected.size() * 2, 1024));
}

TEST(HostCommandMailbox, ShorterCommandLeavesNoRemainsOfLongerOne)
{
    HostArea area;
    ASSERT_EQ(0, WriteHostCommand(PluginIds::DeviceManagement, L"type=3|sn=ZT0123456789ABCDEF|opeator=disconnect"));
    ASSERT_EQ(0, WriteHostCommand(PluginIds::CertRenewal, L""));
    const std::wstring expected = L"DAECF30F-E1F7-4b78-829A-1B778A83530A|";
    EXPECT_EQ(expected, area.Text(expected.size()));
    EXPECT_TRUE(area.ZeroFrom(expected.size() * 2, 1024));
}

TEST(HostCommandMailbox, LengthBoundaryAt512Characters)
{
    HostArea area;
    const std::wstring id = PluginIds::Self;  // 36 characters, plus the bar
    struct Case {
        size_t total;
        int result;
    };
    for (Case c : {Case{511, 0}, Case{512, 0}, Case{513, -1}, Case{2000, -1}}) {
        SCOPED_TRACE(c.total);
        std::memset(area.Bytes(), 0xCD, 4096);
        // A character whose high byte is not zero, so the last byte shows it.
        const std::wstring params(c.total - id.size() - 1, L'证');
        EXPECT_EQ(c.result, WriteHostCommand(id, params));
        if (c.result == 0) {
            EXPECT_EQ(id + L"|" + params, area.Text(c.total));
            // Exactly 512 characters fill the area: no terminator fits.
            if (c.total == 512) {
                EXPECT_EQ(0x8B, area.Bytes()[1023]);
            }
            EXPECT_TRUE(area.ZeroFrom(c.total * 2, 1024));
        } else {
            // A refused command leaves the area untouched.
            EXPECT_EQ(0xCD, area.Bytes()[0]);
            EXPECT_EQ(0xCD, area.Bytes()[1023]);
        }
        EXPECT_EQ(0xCD, area.Bytes()[1024]);
    }
}

TEST(HostCommandMailbox, RawWriteAcceptsExactly1024Bytes)
{
    HostArea area;
    std::string bytes(1024, 'z');
    EXPECT_EQ(0, WriteHostMailbox(bytes.data(), 1024));
    EXPECT_EQ('z', area.Bytes()[1023]);
    EXPECT_EQ(0, WriteHostMailbox(nullptr, 0));
    EXPECT_TRUE(area.ZeroFrom(0, 1024));
}

TEST(HostCommandMailbox, ParametersMayThemselvesHoldBarsAndNonAscii)
{
    HostArea area;
    const std::wstring params = L"type=7|sn=证书A|opeator=disconnect";
    ASSERT_EQ(0, WriteHostCommand(PluginIds::DeviceManagement, params));
    const std::wstring expected = std::wstring(PluginIds::DeviceManagement) + L"|" + params;
    EXPECT_EQ(expected, area.Text(expected.size()));
}
