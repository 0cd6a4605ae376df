#include <gtest/gtest.h>
#include "Plugin/PluginEntry.h"
TEST(Smoke, ModuleBeforeInitIsNull) { IPluginModule* m = reinterpret_cast<IPluginModule*>(1); EXPECT_EQ(0, PluginEntry::GetPluginModule(&m)); EXPECT_EQ(nullptr, m); }
