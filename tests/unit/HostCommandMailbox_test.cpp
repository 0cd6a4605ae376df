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

TEST(HostCommandMailbox, CommandIsIdentifierBarParametersInUtf16ZeroFilledTo1024Bytes)
{
    HostArea area;
    ASSERT_NE(nullptr, area.Bytes());
    std::memset(area.Bytes(), 0xAB, 4096);
    // In turn, each shorter than the one before, so remains would show.
    const struct {
        const wchar_t* id;
        const wchar_t* params;
        std::wstring expected;
    } commands[] = {
        {PluginIds::Self, L"/ShowWindow=none|/ChangeViewWhileOnHomeControl=true",
         L"8F6086F8-7547-4de7-B80F-C4E4CB1F2972|/ShowWindow=none|/ChangeViewWhileOnHomeControl=true"},
        // Parameters may hold bars and text outside ASCII themselves.
        {PluginIds::DeviceManagement, L"type=7|sn=证书A|opeator=disconnect",
         L"4CC1C123-8D4D-4e94-89B1-89841C3C1037|type=7|sn=证书A|opeator=disconnect"},
        {PluginIds::PinUnlock, L"", L"871F89C4-A418-4361-90D9-29AF05B186B3|"},
        {PluginIds::CertRenewal, L"", L"DAECF30F-E1F7-4b78-829A-1B778A83530A|"},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(testing::Message() << "command " << (&c - commands));
        ASSERT_EQ(0, WriteHostCommand(c.id, c.params));
        EXPECT_EQ(c.expected, area.Text(c.expected.size()));
        // No terminator: zero-filled to 1024 bytes, and not one byte further.
        EXPECT_TRUE(area.ZeroFrom(c.expected.size() * 2, 1024));
        EXPECT_EQ(0xAB, area.Bytes()[1024]);
    }
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
