// ZENTO_LOG.dll loaded and resolved by name, as the plug-in does: handle and
// configuration results, file naming, appending, size rotation and writers
// on several threads.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ZentoLogStandIn.h"
#include "TestSupport.h"

using testsupport::TempDir;

namespace {

struct LogLibrary {
    HMODULE module = LoadLibraryW(L"ZENTO_LOG.dll");
    ZentoCreateLogHandleFn create = Get<ZentoCreateLogHandleFn>("ZentoCreateLogHandle");
    ZentoLogHandleSetConfigParamFn setConfig =
        Get<ZentoLogHandleSetConfigParamFn>("ZentoLogHandleSetConfigParam");
    ZentoFreeLogHandleFn free = Get<ZentoFreeLogHandleFn>("ZentoFreeLogHandle");
    ZentoLogHandleLoggerFn logger = Get<ZentoLogHandleLoggerFn>("ZentoLogHandleLogger");
    ZentoLogHandleSetMaxFileSizeFn setMax =
        Get<ZentoLogHandleSetMaxFileSizeFn>("ZentoLogHandleSetMaxFileSize");
    ~LogLibrary()
    {
        if (module) FreeLibrary(module);
    }
    template <typename Fn>
    Fn Get(const char* name)
    {
        return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }
    bool ok() const { return create && setConfig && free && logger && setMax; }
};

std::string Today()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char buf[16];
    snprintf(buf, sizeof(buf), "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return buf;
}

std::vector<std::wstring> LogFiles(const std::wstring& folder)
{
    std::vector<std::wstring> out = testsupport::ListFiles(folder, L"*.log");
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> Lines(const std::wstring& path)
{
    std::string bytes;
    EXPECT_TRUE(testsupport::ReadFileBytes(path, bytes));
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        EXPECT_NE(std::string::npos, end) << "every line ends in CRLF";
        if (end == std::string::npos) break;
        out.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

// The text after "date time level thread ".
std::string TextOf(const std::string& line)
{
    size_t cut = 0;
    for (int i = 0; i < 4 && cut != std::string::npos; ++i) cut = line.find(' ', cut + (i ? 1 : 0));
    return cut == std::string::npos ? "<malformed> " + line : line.substr(cut + 1);
}

class ZentoLogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.ok()); }
    ZENTO_LOG_HANDLE Open(const std::string& base, int rotation = ZENTO_LOG_ROTATE_DAILY)
    {
        ZENTO_LOG_HANDLE h = nullptr;
        EXPECT_EQ(1, lib.create(&h));
        EXPECT_EQ(1, lib.setConfig(h, 1, rotation, base.c_str()));
        return h;
    }
    LogLibrary lib;
    TempDir dir{L"lumora_\u65e5\u5fd7"};
    std::string base8 = testsupport::ToUtf8(dir.Path()) + "\\LumoraPlugin";
};

}  // namespace

TEST_F(ZentoLogTest, ConfigurationIsCheckedAndLinesBeforeItAreDropped)
{
    ZENTO_LOG_HANDLE h = nullptr;
    EXPECT_EQ(0, lib.create(nullptr));
    ASSERT_EQ(1, lib.create(&h));
    ASSERT_NE(nullptr, h);
    lib.logger(h, 4, "%s", "before configuration");
    EXPECT_EQ(0, lib.setConfig(h, 1, 1, nullptr));
    EXPECT_EQ(0, lib.setConfig(h, 1, 1, ""));
    EXPECT_EQ(0, lib.setConfig(h, 2, 1, base8.c_str()));  // no such output
    EXPECT_EQ(0, lib.setConfig(h, 1, 7, base8.c_str()));  // no such rotation
    EXPECT_EQ(0, lib.setConfig(h, 1, 1, (base8 + "\\missing\\x").c_str()));
    EXPECT_EQ(0, lib.setConfig(nullptr, 1, 1, base8.c_str()));
    EXPECT_TRUE(LogFiles(dir.Path()).empty());
    EXPECT_EQ(1, lib.setConfig(h, 1, 1, base8.c_str()));
    lib.logger(h, 4, "[%s,%d] %s", "file", 9, "first");
    lib.free(h);
    lib.free(h);                      // freed twice: ignored
    lib.logger(h, 4, "%s", "after");  // a freed handle writes nothing
    lib.logger(nullptr, 4, "%s", "x");
    EXPECT_EQ(0, lib.setMax(h, 4096));

    auto files = LogFiles(dir.Path());
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(testsupport::FromUtf8("LumoraPlugin_" + Today() + ".log"), files[0]);
    auto lines = Lines(dir.File(files[0]));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("[file,9] first", TextOf(lines[0]));
    // "YYYY-MM-DD HH:MM:SS.mmm 4 <thread> ..."
    ASSERT_GT(lines[0].size(), 26u);
    EXPECT_EQ(Today().substr(0, 4) + "-" + Today().substr(4, 2) + "-" + Today().substr(6, 2),
              lines[0].substr(0, 10));
    EXPECT_EQ(':', lines[0][13]);
    EXPECT_EQ('.', lines[0][19]);
    EXPECT_EQ(" 4 " + std::to_string(GetCurrentThreadId()) + " ",
              lines[0].substr(23, lines[0].find("[") - 23));
}

TEST_F(ZentoLogTest, HandlesAppendToTheSameFileAndLongLinesStayWhole)
{
    ZENTO_LOG_HANDLE a = Open(base8);
    lib.logger(a, 1, "%s %d", "\xE8\xAF\x81\xE4\xB9\xA6", 1);
    lib.free(a);
    ZENTO_LOG_HANDLE b = Open(base8);
    std::string longText(5000, 'x');
    lib.logger(b, 2, "%s|%s", longText.c_str(), "end");
    lib.free(b);
    ZENTO_LOG_HANDLE c = Open(base8, ZENTO_LOG_ROTATE_NONE);
    lib.logger(c, 3, "undated");
    lib.free(c);

    auto lines = Lines(dir.File(L"LumoraPlugin_" + testsupport::FromUtf8(Today()) + L".log"));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("\xE8\xAF\x81\xE4\xB9\xA6 1", TextOf(lines[0]));
    EXPECT_EQ(longText + "|end", TextOf(lines[1]));
    auto undated = Lines(dir.File(L"LumoraPlugin.log"));
    ASSERT_EQ(1u, undated.size());
    EXPECT_EQ("undated", TextOf(undated[0]));
}

TEST_F(ZentoLogTest, RotatesBySizeKeepingEveryLineInOrder)
{
    ZENTO_LOG_HANDLE h = Open(base8);
    EXPECT_EQ(0, lib.setMax(h, 100));  // below the smallest size
    ASSERT_EQ(1, lib.setMax(h, 4096));
    const int count = 300;
    for (int i = 0; i < count; ++i) lib.logger(h, 2, "line %04d %s", i, std::string(40, 'p').c_str());
    lib.free(h);

    const std::wstring today = testsupport::FromUtf8(Today());
    auto files = LogFiles(dir.Path());
    ASSERT_GE(files.size(), 4u);  // about 90 bytes a line: 4096 holds ~45
    // Rotated files in order _1, _2, ..., then the current one.
    std::vector<std::wstring> order;
    for (size_t n = 1; n < files.size(); ++n)
        order.push_back(L"LumoraPlugin_" + today + L"_" + std::to_wstring(n) + L".log");
    order.push_back(L"LumoraPlugin_" + today + L".log");
    int next = 0;
    for (const auto& name : order) {
        SCOPED_TRACE(testsupport::ToUtf8(name));
        std::string bytes;
        ASSERT_TRUE(testsupport::ReadFileBytes(dir.File(name), bytes));
        EXPECT_LE(bytes.size(), 4096u);
        for (const auto& line : Lines(dir.File(name))) {
            char expected[32];
            snprintf(expected, sizeof(expected), "line %04d ", next++);
            EXPECT_EQ(0u, TextOf(line).find(expected)) << line;
        }
    }
    EXPECT_EQ(count, next);
}

TEST_F(ZentoLogTest, FreeingWhileAnotherThreadLogsIsSafe)
{
    for (int round = 0; round < 20; ++round) {
        ZENTO_LOG_HANDLE h = Open(base8);
        std::atomic<bool> stop{false};
        std::atomic<int> written{0};
        std::thread writer([&] {
            while (!stop) {
                lib.logger(h, 1, "%s", "racing");
                ++written;
            }
        });
        while (written < 5) SwitchToThread();  // the writer is in full swing
        lib.free(h);
        stop = true;
        writer.join();
    }
    for (const auto& line : Lines(dir.File(L"LumoraPlugin_" + testsupport::FromUtf8(Today()) + L".log")))
        EXPECT_EQ("racing", TextOf(line));
}
