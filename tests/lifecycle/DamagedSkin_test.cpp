// The real DLL started from a folder whose skin is damaged: a cut main skin
// or a missing sub-layout. The plug-in shows what it can, and its log names
// the file, the line and the reader's reason once per file, however often
// the views are rebuilt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostTokenStore.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "ZentoPKITestSupport.h"

namespace {

struct Damage {
    const char* what;
    const wchar_t* file;     // under the skin folder
    size_t keep;             // bytes left of it; 0 removes the file
    const char* loggedName;  // how the log names it
};

// The skin lines of the plug-in's log.
std::vector<std::string> SkinLines(const testsupport::SettingsSandbox& sandbox)
{
    std::vector<std::string> lines;
    for (const auto& line :
         testsupport::ReadLogLines(sandbox.UserProductFolder() + L"\\log", L"LumoraPlugin_*.log")) {
        if (line.text.find("[skin]") != std::string::npos) lines.push_back(line.text);
    }
    return lines;
}

}  // namespace

TEST(DamagedSkin, IsLoggedOncePerFileWithLineAndReason)
{
    const Damage damages[] = {
        {"main skin cut short", L"skin.xml", 300, "skin.xml("},
        {"sub-layout missing", L"SubXml\\OptionLeftDevice.xml", 0, "SubXml/OptionLeftDevice.xml(0): "},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        testsupport::SettingsSandbox sandbox;
        ASSERT_TRUE(sandbox.ok());
        ASSERT_TRUE(sandbox.WriteUserIni("[Log]\r\nIsWriteLog=true\r\n"));
        testsupport::TempDir store(L"tokens");
        ASSERT_TRUE(pkitest::MakeTokenStore(store.Path(), {L"zhangsan", L"lisi"}));
        // The plug-in as installed, beside a damaged copy of its skin.
        testsupport::TempDir install(L"plugin");
        const std::wstring skin = install.File(L"LumoraPlugin\\skin");
        ASSERT_TRUE(testsupport::MakeFolders(install.File(L"LumoraPlugin")));
        ASSERT_TRUE(testsupport::CopyTree(testsupport::SourceDir() + L"\\skin", skin));
        ASSERT_TRUE(CopyFileW(tamu::BesideProgram(L"LumoraPlugin.dll").c_str(),
                              install.File(L"LumoraPlugin.dll").c_str(), FALSE));
        const std::wstring damaged = skin + L"\\" + damage.file;
        std::string bytes;
        ASSERT_TRUE(testsupport::ReadFileBytes(damaged, bytes));
        ASSERT_GT(bytes.size(), damage.keep);
        if (damage.keep)
            ASSERT_TRUE(testsupport::WriteFileBytes(damaged, bytes.substr(0, damage.keep)));
        else
            ASSERT_TRUE(DeleteFileW(damaged.c_str()));

        tamu::HostOptions options;
        options.languageId = 2052;
        options.pluginPath = install.File(L"LumoraPlugin.dll");
        tamu::Host host(options);
        ASSERT_TRUE(host.Start());
        tamu::TokenStoreDevices devices(host, store.Path());
        ASSERT_TRUE(host.LoadPlugin());
        // Three rebuilds of the key list and pages.
        for (int i = 0; i < 3; ++i) {
            host.NotifyDeviceSetChanged();
            testsupport::PumpMessages();
        }
        host.UnloadPlugin();  // the log library flushes and closes its file

        const std::vector<std::string> lines = SkinLines(sandbox);
        ASSERT_EQ(1u, lines.size());
        const size_t named = lines[0].find(damage.loggedName);
        ASSERT_NE(std::string::npos, named) << lines[0];
        // "file(line): reason": a line number and some reason after it.
        const size_t reason = lines[0].find("): ", named);
        ASSERT_NE(std::string::npos, reason) << lines[0];
        EXPECT_GT(lines[0].size(), reason + 3) << lines[0];
    }
}
