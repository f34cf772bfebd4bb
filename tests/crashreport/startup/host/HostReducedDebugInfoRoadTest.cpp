// Conduvex.dll built with reduced debug information, in a host that faults inside an export: its
// report names the library's functions, units and lines from the Conduvex.zel beside it, which the
// library's settings name; without that file it names none of them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "ConduvexRoadCase.h"

namespace {

struct TLibraryFrame {
    std::string text;
    bool hasLine = false;
};

// The library's frames in the main thread's call stack, whose lines read "address +offset module
// unit [line +line in function] function".
std::vector<TLibraryFrame> LibraryFrames(const std::string& report)
{
    std::vector<TLibraryFrame> frames;
    const size_t thread = report.find("main thread (");
    if (thread == std::string::npos)
        return frames;
    std::istringstream lines(report.substr(report.find('\n', thread) + 1));
    std::string line;
    while (std::getline(lines, line) && line.find_first_not_of(" \r") != std::string::npos) {
        std::istringstream words(line);
        std::string address, offset, module, unit, next;
        words >> address >> offset >> module >> unit >> next;
        if (module == "Conduvex.dll")
            frames.push_back({line, !next.empty() && next.find_first_not_of("0123456789") == std::string::npos});
    }
    return frames;
}

// How the settings name a debug-information file: its length and the two header words that follow
// the marker and the format version.
std::string StampOf(const std::string& data)
{
    constexpr size_t kWordsAt = 16;
    uint32_t words[2] = {};
    if (data.size() >= kWordsAt + sizeof words)
        std::memcpy(words, data.data() + kWordsAt, sizeof words);
    char text[48];
    std::snprintf(text, sizeof text, "$%08x, $%08x, $%08x", static_cast<unsigned>(data.size()), words[0], words[1]);
    return text;
}

TEST(ConduvexRoad, AReducedDebugInfoBuildNamesItsFramesFromItsSideFileAlone)
{
    const fs::path build = ProgramFolder() / "reduced-debuginfo";
    const std::string sideFile = ReadText(build / "Conduvex.zel");
    ASSERT_FALSE(sideFile.empty());
    for (const bool withSideFile : {true, false}) {
        SCOPED_TRACE(withSideFile ? "with Conduvex.zel" : "without Conduvex.zel");
        const fs::path folder = PrepareCase(withSideFile ? "reduced-zel" : "reduced", "quiet-reduced",
                                            "crashreport_road_host.exe", "reduced-debuginfo/Conduvex.dll");
        if (withSideFile)
            fs::copy_file(build / "Conduvex.zel", folder / "Conduvex.zel");
        ASSERT_EQ(Finish(StartHost(folder, L"av")), 0);
        const std::string report = ReadText(folder / "bugreport.txt");
        EXPECT_NE(report.find(StampOf(sideFile)), std::string::npos) << "the report names the side file's data";
        const std::vector<TLibraryFrame> frames = LibraryFrames(report);
        ASSERT_GE(frames.size(), 2u) << report.substr(0, 4000);
        // The crash site's function and line come from the side file; without it no frame has either.
        EXPECT_EQ(frames.front().text.find("WriteHost") != std::string::npos, withSideFile) << frames.front().text;
        EXPECT_EQ(frames.front().hasLine, withSideFile) << frames.front().text;
        for (const TLibraryFrame& frame : frames) {
            EXPECT_TRUE(withSideFile || !frame.hasLine) << frame.text;
            EXPECT_EQ(frame.text.find("public%") == std::string::npos, withSideFile) << frame.text;
        }
    }
}

} // namespace
