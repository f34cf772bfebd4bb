#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "startup/win/LeakCheckLibrary.h"
#include "startup/win/PackageStartUp.h"

namespace fs = std::filesystem;

namespace {

enum TCount { LeakStarts, Calibrations, DebugStarts, LastOverrun, Hidden, Unloads };

// What the stand-in of that name was asked.
LONG Count(const wchar_t* standIn, TCount which)
{
    using TStandInCount = LONG(WINAPI*)(int);
    const auto count = reinterpret_cast<TStandInCount>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(standIn), "StandInCount")));
    return count ? count(which) : -100;
}

HMODULE LastModule(const wchar_t* standIn)
{
    using TLastModule = HMODULE(WINAPI*)();
    const auto last = reinterpret_cast<TLastModule>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(standIn), "StandInLastModule")));
    return last ? last() : nullptr;
}

constexpr wchar_t kVersion2[] = L"crashreport_leakcheck_v2.dll";
constexpr wchar_t kVersion3[] = L"crashreport_leakcheck_v3.dll";

TEST(LeakCheckLibrary, TheFirstPlaceThatLoadsIsBoundAndItsRoutinesAreCalled)
{
    std::vector<std::wstring> errors;
    TLeakCheckLibrary checker({L"", L"no-such-leak-checker.dll", kVersion2},
                              [&](const wchar_t* text) { errors.emplace_back(text); });
    ASSERT_TRUE(checker.Bind());
    const HMODULE watched = GetModuleHandleW(nullptr);
    const LONG leakStarts = Count(kVersion2, LeakStarts);
    const LONG calibrations = Count(kVersion2, Calibrations);
    const LONG debugStarts = Count(kVersion2, DebugStarts);
    const LONG hidden = Count(kVersion2, Hidden);
    const LONG unloads = Count(kVersion2, Unloads);
    checker.StartLeakCheckingFor(watched);
    EXPECT_EQ(Count(kVersion2, LeakStarts), leakStarts + 1) << "with the memory routines and a depth of 150";
    EXPECT_EQ(Count(kVersion2, Calibrations), calibrations + 1) << "with sample blocks";
    EXPECT_EQ(LastModule(kVersion2), watched);

    checker.StartDebugMmFor(watched, false);
    EXPECT_EQ(Count(kVersion2, DebugStarts), debugStarts + 1);
    EXPECT_EQ(Count(kVersion2, LastOverrun), 0);
    checker.StartDebugMmFor(watched, true);
    EXPECT_EQ(Count(kVersion2, LastOverrun), 1);

    int block = 0;
    EXPECT_TRUE(checker.HideLeak(&block)) << "through ThisIsNoLeak where HideLeakPtr is missing";
    EXPECT_EQ(Count(kVersion2, Hidden), hidden + 1);
    checker.Unload();
    EXPECT_EQ(Count(kVersion2, Unloads), unloads + 1);
    EXPECT_TRUE(errors.empty());
}

TEST(LeakCheckLibrary, AnotherVersionIsRefusedOnceWithItsMessage)
{
    std::vector<std::wstring> errors;
    TLeakCheckLibrary checker({kVersion3, kVersion2}, [&](const wchar_t* text) { errors.emplace_back(text); });
    EXPECT_FALSE(checker.Bind());
    EXPECT_FALSE(checker.Bind()) << "the binding runs once";
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], L"zelExcept32.dll has the wrong version.");
    checker.StartLeakCheckingFor(GetModuleHandleW(nullptr));
    EXPECT_EQ(Count(kVersion3, LeakStarts), 0) << "nothing is called in a refused library";
}

TEST(LeakCheckLibrary, WithoutTheLibraryNothingHappens)
{
    std::vector<std::wstring> errors;
    TLeakCheckLibrary checker({L"no-such-leak-checker.dll"}, [&](const wchar_t* text) { errors.emplace_back(text); });
    EXPECT_FALSE(checker.Bind());
    EXPECT_FALSE(checker.HideLeak(&errors));
    checker.Unload();
    EXPECT_TRUE(errors.empty());
}

// A copy of a module whose settings resource holds the given bytes (and 16 more).
HMODULE ModuleWithSettings(const std::string& name, const std::string& settings)
{
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    const fs::path folder = fs::path(own).parent_path();
    const fs::path copy = folder / ("package-" + name + ".dll");
    fs::remove(copy);
    fs::copy_file(folder / "crashreport_calibrated.dll", copy);
    std::string bytes = settings + std::string(16, '\0');
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    EXPECT_TRUE(update);
    EXPECT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(10), L"TZELEXCEPT", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                bytes.data(), static_cast<DWORD>(bytes.size())));
    EXPECT_TRUE(EndUpdateResourceW(update, FALSE));
    return LoadLibraryW(copy.c_str());
}

// Each module's own settings decide which checkers start for it.
TEST(PackageStartUp, TheCheckersStartForTheModulesWhoseSettingsAskForThem)
{
    TLeakCheckLibrary checker({kVersion2}, [](const wchar_t*) {});
    const HMODULE both = ModuleWithSettings("both", "CrashOnBuffer\x09ReportLeaks\x09");
    const HMODULE underrun = ModuleWithSettings("underrun", "CrashOnBuffer\x09 CrashOnUnderrun\x09 ReportLeaks\x08");
    const HMODULE none = ModuleWithSettings("none", "CrashOnBuffer\x08ReportLeaks\x08");
    ASSERT_TRUE(both && underrun && none);
    const HMODULE withoutResource = GetModuleHandleW(L"kernel32.dll");

    const LONG debugStarts = Count(kVersion2, DebugStarts);
    const LONG leakStarts = Count(kVersion2, LeakStarts);
    StartPackageCheckers({both}, checker);
    EXPECT_EQ(Count(kVersion2, DebugStarts), debugStarts + 1);
    EXPECT_EQ(Count(kVersion2, LastOverrun), 1) << "the blocks' ends without CrashOnUnderrun";
    EXPECT_EQ(Count(kVersion2, LeakStarts), leakStarts + 1);
    EXPECT_EQ(LastModule(kVersion2), both);

    StartPackageCheckers({underrun, none, withoutResource}, checker);
    EXPECT_EQ(Count(kVersion2, DebugStarts), debugStarts + 2);
    EXPECT_EQ(Count(kVersion2, LastOverrun), 0) << "the blocks' starts with CrashOnUnderrun";
    EXPECT_EQ(Count(kVersion2, LeakStarts), leakStarts + 1);
    EXPECT_EQ(LastModule(kVersion2), underrun);
    for (const HMODULE module : {both, underrun, none})
        FreeLibrary(module);
}

TEST(PackageStartUp, OnlyAModuleExportingThePackagesInitialisationRunsAsOne)
{
    EXPECT_FALSE(RunsAsRuntimePackage(GetModuleHandleW(nullptr)));
    EXPECT_FALSE(RunsAsRuntimePackage(GetModuleHandleW(L"kernel32.dll")));
}

} // namespace
