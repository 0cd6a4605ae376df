// A settings sandbox whose user file switches the plug-in's log on, with the
// logger started into it, for tests that check what was logged. Header-only:
// it needs the plug-in's settings and logger, which only the plug-in's test
// binaries link.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "SettingsFolders.h"
#include "TestSupport.h"
#include "Utils/UserSettings.h"
#include "Utils/log.h"

namespace testsupport {

// Every line of every log file the plug-in's logger wrote for the sandbox's
// user, in file order.
inline std::vector<LogLine> ReadPluginLog(const SettingsSandbox& sandbox)
{
    return ReadLogLines(sandbox.UserProductFolder() + L"\\log", L"LumoraPlugin_*.log");
}

class LoggingSandbox : public SettingsSandbox {
public:
    // From SetUp, wrapped in ASSERT_NO_FATAL_FAILURE.
    void Start()
    {
        ASSERT_TRUE(ok());
        UserSettings::Instance().ResetForTesting();
        ASSERT_TRUE(WriteUserIni("[Log]\r\nIsWriteLog=true\r\n"));
        UserSettings::Instance().Load();
        ReleaseLogger();
        ConfigureLogger();
    }
    std::vector<LogLine> Lines() const { return ReadPluginLog(*this); }
    ~LoggingSandbox()
    {
        ReleaseLogger();
        UserSettings::Instance().ResetForTesting();
    }
};

}  // namespace testsupport
