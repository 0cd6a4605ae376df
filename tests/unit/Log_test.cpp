// LogWrite through the real ZENTO_LOG.dll into redirected user folders.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "LoggingSandbox.h"

using testsupport::SettingsSandbox;

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(sandbox.Start()); }
    testsupport::LoggingSandbox sandbox;
};

}  // namespace

TEST_F(LogTest, LineShapeWithFileLineAndLevel)
{
    LogWrite(4, "OnDeviceRefreshEvent failed", 1234, "..\\Source\\UI\\UIMainFrame", 0);
    LogWrite(2, "routine", 1, "..\\Source\\SQlite\\sqlite3Module");
    LogWrite(1, "100% %s %d kept as text", 0, "f");
    auto lines = sandbox.Lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(4, lines[0].level);
    EXPECT_EQ("[..\\Source\\UI\\UIMainFrame,1234] OnDeviceRefreshEvent failed", lines[0].text);
    EXPECT_EQ(2, lines[1].level);
    EXPECT_EQ("[..\\Source\\SQlite\\sqlite3Module,1] routine", lines[1].text);
    EXPECT_EQ(1, lines[2].level);
    EXPECT_EQ("[f,0] 100% %s %d kept as text", lines[2].text);
}

TEST_F(LogTest, SystemCodePageTextArrivesAsUtf8)
{
    // A text the current code page can hold: Chinese under 936, accents under 1252.
    const wchar_t* candidates[] = {L"\u8bc1\u4e66\u5df2\u52a0\u8f7d", L"Ger\u00e4t gepr\u00fcft"};
    std::wstring wide;
    std::string ansi;
    for (const wchar_t* c : candidates) {
        BOOL lossy = FALSE;
        char buf[64] = {};
        int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, c, -1, buf, sizeof(buf), nullptr, &lossy);
        if (n > 0 && !lossy) {
            wide = c;
            ansi = buf;
            break;
        }
    }
    ASSERT_FALSE(wide.empty()) << "no candidate fits code page " << GetACP();
    ASSERT_NE(testsupport::ToUtf8(wide), ansi);  // the conversion has something to do
    LogWrite(4, ansi.c_str(), 5, ansi.c_str(), 3);
    auto lines = sandbox.Lines();
    ASSERT_EQ(1u, lines.size());
    const std::string utf8 = testsupport::ToUtf8(wide);
    EXPECT_EQ("[" + utf8 + ",5] " + utf8 + "3", lines[0].text);
}

TEST_F(LogTest, NothingAfterReleaseAndAgainAfterTheNextStart)
{
    LogWrite(4, "one", 1, "f");
    ReleaseLogger();
    LogWrite(4, "dropped", 2, "f");
    ReleaseLogger();  // a second release is harmless
    ConfigureLogger();
    ConfigureLogger();  // already configured: no second handle
    LogWrite(4, "two", 3, "f");
    auto lines = sandbox.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("[f,1] one", lines[0].text);
    EXPECT_EQ("[f,3] two", lines[1].text);
}

// ------------------------------------------------------- in child processes

TEST(LogChildProcess, WithoutTheLibraryEveryCallReturnsAtOnce)
{
    SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    ASSERT_TRUE(sandbox.WriteUserIni("[Log]\r\nIsWriteLog=true\r\n"));
    // The probe with every library beside it except ZENTO_LOG.dll.
    const std::wstring from = testsupport::ProgramFolder(), to = sandbox.Root() + L"\\app";
    ASSERT_TRUE(CreateDirectoryW(to.c_str(), nullptr));
    auto copy = [&](const std::wstring& name) {
        return CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), TRUE) != 0;
    };
    ASSERT_TRUE(copy(L"LumoraSettingsProbe.exe"));
    for (const auto& dll : testsupport::ListFiles(from, L"*.dll")) {
        if (lstrcmpiW(dll.c_str(), L"ZENTO_LOG.dll") != 0) {
            ASSERT_TRUE(copy(dll));
        }
    }
    ASSERT_FALSE(testsupport::FileExists(to + L"\\ZENTO_LOG.dll"));

    EXPECT_EQ(0, testsupport::RunChildProcess(to + L"\\LumoraSettingsProbe.exe", L"log-without-library", to));
    EXPECT_TRUE(testsupport::ListFiles(sandbox.UserProductFolder() + L"\\log", L"*").empty());
}

TEST(LogChildProcess, OffAtStartStaysOffUntilTheModuleStartsAgain)
{
    SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    ASSERT_TRUE(sandbox.WriteUserIni("[Log]\r\nIsWriteLog=false\r\n"));
    EXPECT_EQ(0, testsupport::RunChildProcess(testsupport::ProgramFolder() + L"\\LumoraSettingsProbe.exe", L"log-off-at-start",
                                              testsupport::ProgramFolder()));
    auto lines = testsupport::ReadPluginLog(sandbox);
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].text.find("] after the module started again"));
    std::string ini;
    ASSERT_TRUE(testsupport::ReadFileBytes(sandbox.UserIniPath(), ini));
    EXPECT_EQ("[Log]\r\nIsWriteLog=true\r\n", ini);
}
