// UserSettings on real INI files in redirected shell folders (a path with Chinese characters).
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "SettingsFolders.h"
#include "TestSupport.h"
#include "Utils/UserSettings.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::SettingsSandbox;
using testsupport::WriteFileBytes;

namespace {

class UserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.ok());
        settings().ResetForTesting();
    }
    void TearDown() override { settings().ResetForTesting(); }

    static UserSettings& settings() { return UserSettings::Instance(); }

    std::string UserIniBytes()
    {
        std::string b;
        EXPECT_TRUE(ReadFileBytes(sandbox.UserIniPath(), b));
        return b;
    }
    void LoadWith(const std::string& userIni)
    {
        ASSERT_TRUE(sandbox.WriteUserIni(userIni));
        settings().Load();
    }

    SettingsSandbox sandbox;
};

}  // namespace

TEST_F(UserSettingsTest, EveryDefaultWithNoFileAtAll)
{
    settings().Load();
    EXPECT_FALSE(settings().GetIsWriteLog());
    EXPECT_TRUE(settings().GetIsShowSelfWhileInsertUSBKey());
    EXPECT_TRUE(settings().GetIsCouldModifyPasswordWhileSecurityWeak());
    EXPECT_EQ(30, settings().GetRemainDay());
    EXPECT_EQ(20, settings().GetNoDeviceCertNotifyTime());
    EXPECT_EQ(L"", settings().GetLowPriorityShowDeviceSn());
    EXPECT_EQ(L"", settings().GetLowPriorityShowDeviceProId());
    EXPECT_EQ(L"", settings().GetNextNotifyDate());
    EXPECT_EQ(0, settings().GetLastCheckDeviceCount());
    EXPECT_TRUE(settings().GetIsShowNotifyDeviceWnd());
    EXPECT_TRUE(settings().GetIsShowNotifyNoDeviceCertExpireWnd());
    EXPECT_TRUE(settings().GetIsShowNotifyCertWnd());
    EXPECT_EQ(60, settings().GetNotifyCertDay());
    std::vector<std::wstring> keys{L"stale"};
    EXPECT_EQ(0, settings().GetSectionKeys(L"PassWordFunFiter", keys));
    EXPECT_TRUE(keys.empty());
    EXPECT_FALSE(settings().IsTypeListed(L"DisconnectFunShow", 3));
    // Loading built the user folder but wrote no file.
    EXPECT_TRUE(PathIsDirectoryW(sandbox.UserProductFolder().c_str()));
    EXPECT_FALSE(FileExists(sandbox.UserIniPath()));
}

TEST_F(UserSettingsTest, EveryKeyIsReadFromItsOwnSection)
{
    LoadWith(
        "[Log]\r\nIsWriteLog=true\r\n"
        "[UserSetting]\r\nIsShowSelfWhileInsertUSBKey=false\r\nIsCouldModifyPasswordWhileSecurityWeak="
        "false\r\n"
        "NoDeviceCertNotifyTime=5\r\nLowPriorityShowDeviceSn=SN\u00e9\r\nLowPriorityShowDeviceProId="
        "\xE8\xAF\x81\r\n"
        "NextNotifyDate=2026-12-31 08:00:00\r\nLastCheckDeviceCount=3\r\n"
        "[NotifyWndSetting]\r\nIsShowNotifyDeviceWnd=false\r\nIsShowNotifyNoDeviceCertExpireWnd=false\r\n"
        "IsShowNotifyCertWnd=false\r\nNotifyCertDay=15\r\n"
        "[RemainDay]\r\nday=45\r\n"
        // Keys in the wrong section do not count.
        "[UserSetting]\r\nday=1\r\nNotifyCertDay=2\r\n");
    EXPECT_TRUE(settings().GetIsWriteLog());
    EXPECT_FALSE(settings().GetIsShowSelfWhileInsertUSBKey());
    EXPECT_FALSE(settings().GetIsCouldModifyPasswordWhileSecurityWeak());
    EXPECT_EQ(5, settings().GetNoDeviceCertNotifyTime());
    EXPECT_EQ(L"SN\u00e9", settings().GetLowPriorityShowDeviceSn());
    EXPECT_EQ(L"\u8bc1", settings().GetLowPriorityShowDeviceProId());
    EXPECT_EQ(L"2026-12-31 08:00:00", settings().GetNextNotifyDate());
    EXPECT_EQ(3, settings().GetLastCheckDeviceCount());
    EXPECT_FALSE(settings().GetIsShowNotifyDeviceWnd());
    EXPECT_FALSE(settings().GetIsShowNotifyNoDeviceCertExpireWnd());
    EXPECT_FALSE(settings().GetIsShowNotifyCertWnd());
    EXPECT_EQ(15, settings().GetNotifyCertDay());
    EXPECT_EQ(45, settings().GetRemainDay());
}

TEST_F(UserSettingsTest, BooleansAreTrueOnlyForTrueInAnyCase)
{
    LoadWith(
        "[Log]\r\nIsWriteLog=TRUE\r\n[UserSetting]\r\nIsShowSelfWhileInsertUSBKey=1\r\n"
        "IsCouldModifyPasswordWhileSecurityWeak=yes\r\n[NotifyWndSetting]\r\nIsShowNotifyCertWnd=tRuE\r\n"
        "IsShowNotifyDeviceWnd=true \r\nIsShowNotifyNoDeviceCertExpireWnd=\r\n");
    EXPECT_TRUE(settings().GetIsWriteLog());
    EXPECT_FALSE(settings().GetIsShowSelfWhileInsertUSBKey());
    EXPECT_FALSE(settings().GetIsCouldModifyPasswordWhileSecurityWeak());
    EXPECT_TRUE(settings().GetIsShowNotifyCertWnd());
    EXPECT_TRUE(settings().GetIsShowNotifyDeviceWnd());  // the file's blanks are not part of the value
    EXPECT_FALSE(settings().GetIsShowNotifyNoDeviceCertExpireWnd());  // empty is not the default
}

TEST_F(UserSettingsTest, IntegersParseLeadingDecimalDigits)
{
    struct Case {
        const char* stored;
        int expected;
    } cases[] = {{"15x", 15}, {"abc", 0},  {"", 0},
                 {"-7", -7},  {"+8", 8},   {"\"  12\"", 12},
                 {"0x1F", 0}, {"060", 60}, {"99999999999", 2147483647},
                 {"- 3", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        settings().ResetForTesting();
        LoadWith(std::string("[NotifyWndSetting]\r\nNotifyCertDay=") + c.stored + "\r\n");
        EXPECT_EQ(c.expected, settings().GetNotifyCertDay());
    }
}

TEST_F(UserSettingsTest, DeviceTypeListsReadKeysAsDecimalNumbers)
{
    LoadWith(
        "[PassWordFunFiter]\r\n3=\r\n12=x\r\n[UnlockFunFiter]\r\n03=\r\n  7 =\r\n+9=\r\nabc=\r\n"
        "[CertUpdateFunFiter]\r\n-4=\r\n[DisconnectFunShow]\r\n");
    std::vector<std::wstring> keys;
    EXPECT_EQ(2, settings().GetSectionKeys(L"PassWordFunFiter", keys));
    EXPECT_EQ((std::vector<std::wstring>{L"12", L"3"}), keys);  // ascending by code units
    EXPECT_TRUE(settings().IsTypeListed(L"PassWordFunFiter", 3));
    EXPECT_TRUE(settings().IsTypeListed(L"PassWordFunFiter", 12));
    EXPECT_FALSE(settings().IsTypeListed(L"PassWordFunFiter", 1));
    EXPECT_FALSE(settings().IsTypeListed(L"PassWordFunFiter", 123));
    EXPECT_TRUE(settings().IsTypeListed(L"UnlockFunFiter", 3));
    EXPECT_TRUE(settings().IsTypeListed(L"UnlockFunFiter", 7));
    EXPECT_TRUE(settings().IsTypeListed(L"UnlockFunFiter", 9));
    // "abc" reads as 0, but no device has type 0: a failed type query lists nothing.
    EXPECT_FALSE(settings().IsTypeListed(L"UnlockFunFiter", 0));
    EXPECT_FALSE(settings().IsTypeListed(L"CertUpdateFunFiter", -4));
    EXPECT_EQ(0, settings().GetSectionKeys(L"DisconnectFunShow", keys));
    EXPECT_FALSE(settings().IsTypeListed(L"DisconnectFunShow", 3));
}

TEST_F(UserSettingsTest, UserFileWinsOverInstallationFile)
{
    ASSERT_TRUE(sandbox.WriteCommonIni("[NotifyWndSetting]\r\nNotifyCertDay=90\r\nIsShowNotifyCertWnd=false\r\n"
                                       "[PassWordFunFiter]\r\n5=\r\n"));
    ASSERT_TRUE(sandbox.WriteUserIni("[NotifyWndSetting]\r\nNotifyCertDay=15\r\n[Log]\r\nIsWriteLog=true\r\n"));
    settings().Load();
    EXPECT_EQ(15, settings().GetNotifyCertDay());
    EXPECT_FALSE(settings().GetIsShowNotifyCertWnd());
    EXPECT_TRUE(settings().GetIsWriteLog());
    EXPECT_TRUE(settings().IsTypeListed(L"PassWordFunFiter", 5));
}

TEST_F(UserSettingsTest, EverySetterMakesTheFolderAndWritesItsOwnKey)
{
    ASSERT_FALSE(PathIsDirectoryW(sandbox.UserProductFolder().c_str()));
    struct Case {
        bool (UserSettings::*set)(const std::wstring&);
        const char* line;
    } cases[] = {
        {&UserSettings::SetIsWriteLog, "[Log]\r\nIsWriteLog=v"},
        {&UserSettings::SetIsShowSelfWhileInsertUSBKey, "[UserSetting]\r\nIsShowSelfWhileInsertUSBKey=v"},
        {&UserSettings::SetIsCouldModifyPasswordWhileSecurityWeak,
         "[UserSetting]\r\nIsCouldModifyPasswordWhileSecurityWeak=v"},
        {&UserSettings::SetNextNotifyDate, "[UserSetting]\r\nNextNotifyDate=v"},
        {&UserSettings::SetLastCheckDeviceCount, "[UserSetting]\r\nLastCheckDeviceCount=v"},
        {&UserSettings::SetIsShowNotifyDeviceWnd, "[NotifyWndSetting]\r\nIsShowNotifyDeviceWnd=v"},
        {&UserSettings::SetIsShowNotifyNoDeviceCertExpireWnd,
         "[NotifyWndSetting]\r\nIsShowNotifyNoDeviceCertExpireWnd=v"},
        {&UserSettings::SetIsShowNotifyCertWnd, "[NotifyWndSetting]\r\nIsShowNotifyCertWnd=v"},
        {&UserSettings::SetNotifyCertDay, "[NotifyWndSetting]\r\nNotifyCertDay=v"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        DeleteFileW(sandbox.UserIniPath().c_str());
        EXPECT_TRUE((settings().*c.set)(L"v"));
        EXPECT_EQ(std::string(c.line) + "\r\n", UserIniBytes());
    }
}

TEST_F(UserSettingsTest, BadFilesNeverCrashNorLoseData)
{
    // Binary: nothing is read and a write leaves the bytes alone.
    std::string binary(4096, '\0');
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) & 0xFF);
    LoadWith(binary);
    EXPECT_EQ(60, settings().GetNotifyCertDay());
    EXPECT_FALSE(settings().SetNotifyCertDay(L"15"));
    EXPECT_EQ(15, settings().GetNotifyCertDay());
    EXPECT_EQ(binary, UserIniBytes());

    // Truncated in the middle of a line: the complete lines count.
    settings().ResetForTesting();
    LoadWith("[NotifyWndSetting]\r\nNotifyCertDay=45\r\nIsShowNotifyCe");
    EXPECT_EQ(45, settings().GetNotifyCertDay());
    EXPECT_TRUE(settings().GetIsShowNotifyCertWnd());
}

TEST_F(UserSettingsTest, FolderOperationsUseTheShellFolders)
{
    EXPECT_EQ(sandbox.CommonAppData() + L"\\ZENTO\\Tamu\\", UserSettings::GetCommonDataFolder());
    EXPECT_EQ(sandbox.CommonAppData() + L"\\ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin\\LumoraPlugin.ini",
              UserSettings::InstallationSettingsPath());
    EXPECT_EQ(sandbox.UserProductFolder() + L"\\\\LumoraPlugin.ini", UserSettings::UserSettingsPath());

    const std::wstring sub = L"ZENTO\\Tamu\\\u65b0\u5efa\\deep";
    EXPECT_EQ(sandbox.UserAppData() + L"\\" + sub, UserSettings::GetUserDataFolder(sub));
    EXPECT_TRUE(PathIsDirectoryW((sandbox.UserAppData() + L"\\" + sub).c_str()));

    const std::wstring one = sandbox.Root() + L"\\one";
    EXPECT_TRUE(UserSettings::EnsureFolder(L"  " + one + L"\t "));
    EXPECT_TRUE(PathIsDirectoryW(one.c_str()));
    EXPECT_TRUE(UserSettings::EnsureFolder(one));  // already there
    // Only the last folder is made: a missing parent is an error.
    EXPECT_FALSE(UserSettings::EnsureFolder(sandbox.Root() + L"\\missing\\child"));
    EXPECT_FALSE(PathIsDirectoryW((sandbox.Root() + L"\\missing").c_str()));
    EXPECT_FALSE(UserSettings::EnsureFolder(L"   "));
}
