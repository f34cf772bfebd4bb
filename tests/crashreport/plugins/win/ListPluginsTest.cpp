#include "plugins/win/ListPlugins.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "model/PluginRegistry.h"
#include "text/CaseFolding.h"

namespace {

UnicodeString OwnPath()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return UnicodeString(reinterpret_cast<const char16_t*>(path), length);
}

std::vector<UnicodeString> Lines(const UnicodeString& text)
{
    std::vector<UnicodeString> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != UnicodeString::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

TEST(ListModules, ThisProgramAndTheSystemLibrariesAreListedInAddressOrder)
{
    const std::vector<TModuleRecord> modules = CollectModules();
    const auto own = std::find_if(modules.begin(), modules.end(), [](const TModuleRecord& module) {
        return module.base == reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    });
    ASSERT_NE(own, modules.end());
    EXPECT_TRUE(SameTextW(own->path, OwnPath()));
    EXPECT_TRUE(SameTextW(own->fileName, u"crashreport_plugins_tests.exe"));
    EXPECT_TRUE(std::any_of(modules.begin(), modules.end(), [](const TModuleRecord& module) {
        return SameTextW(module.fileName, u"kernel32.dll") && !module.version.empty();
    }));
    EXPECT_TRUE(std::is_sorted(modules.begin(), modules.end(),
                               [](const TModuleRecord& a, const TModuleRecord& b) { return a.base < b.base; }));

    const std::vector<UnicodeString> lines = Lines(ListModules());
    ASSERT_EQ(lines.size(), modules.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].ends_with(modules[i].path)) << i;
}

TEST(ListProcesses, ThisProcessIsListedWithItsFileFolderAndPriority)
{
    const std::vector<TProcessRecord> processes = CollectProcesses();
    const auto own = std::find_if(processes.begin(), processes.end(),
                                  [](const TProcessRecord& process) { return process.id == GetCurrentProcessId(); });
    ASSERT_NE(own, processes.end());
    const UnicodeString path = OwnPath();
    EXPECT_TRUE(SameTextW(own->fileName, u"crashreport_plugins_tests.exe"));
    EXPECT_TRUE(SameTextW(own->folder, path.substr(0, path.rfind(u'\\'))));
    EXPECT_EQ(own->priorityClass, static_cast<uint32_t>(NORMAL_PRIORITY_CLASS));

    // Other programs of the prefix come and go: compare the line count with a list whose
    // processes were the same before and after the text was made (one may end while another
    // starts, so the same count is not enough).
    const auto ids = [] {
        std::vector<uint32_t> ids;
        for (const TProcessRecord& process : CollectProcesses())
            ids.push_back(process.id);
        std::sort(ids.begin(), ids.end());
        return ids;
    };
    std::vector<UnicodeString> lines;
    size_t stableCount = 0;
    for (int attempt = 0; attempt < 20 && stableCount == 0; ++attempt) {
        const std::vector<uint32_t> before = ids();
        lines = Lines(ListProcesses());
        if (ids() == before)
            stableCount = before.size();
    }
    ASSERT_NE(stableCount, 0u) << "the prefix's processes never stayed the same long enough";
    EXPECT_EQ(lines.size(), stableCount);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const UnicodeString& line) {
        return line.find(u"crashreport_plugins_tests.exe") != UnicodeString::npos && line.find(u" normal ") != UnicodeString::npos;
    }));
}

TEST(ListHardware, EveryLineIsAClassOrOneOfItsDevices)
{
    const UnicodeString text = ListHardware();
    if (text.empty())
        GTEST_SKIP() << "this system reports no present devices";
    const std::vector<UnicodeString> lines = Lines(text);
    EXPECT_TRUE(lines.front().starts_with(u"+ "));
    for (const UnicodeString& line : lines)
        EXPECT_TRUE(line.starts_with(u"+ ") || line.starts_with(u"  - ")) << std::string(line.begin(), line.end());
}

void CustomText(UnicodeString& text)
{
    text.assign(1, u'x');
}

class ListPluginsTest : public ::testing::Test {
protected:
    void SetUp() override { ClearBugReportPlugins(); }
    void TearDown() override { ClearBugReportPlugins(); }
};

TEST_F(ListPluginsTest, TheThreeListsRegisterAsSectionsAndGoByName)
{
    RegisterBugReportPlugin(u"custom", u"kept", CustomText, false);
    RegisterListPlugins();
    const std::vector<TBugReportPlugin> sections = SelectBugReportPlugins(u"modules|processes|hardware|custom", true);
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].description, u"list of loaded modules");
    EXPECT_EQ(sections[1].description, u"list of running processes");
    EXPECT_EQ(sections[2].description, u"list of installed hardware");
    const UnicodeString modules = BugReportPluginText(sections[0], nullptr, [](std::string_view) { return UnicodeString(); });
    EXPECT_NE(modules.find(u"crashreport_plugins_tests.exe"), UnicodeString::npos);

    UnregisterListPlugins();
    const std::vector<TBugReportPlugin> left = BugReportPlugins();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, u"custom");
}

} // namespace
