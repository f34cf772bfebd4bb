#include <gtest/gtest.h>

#include <windows.h>

#include "startup/win/ModuleCalibration.h"

namespace {

// The module's optional header as loaded.
const IMAGE_OPTIONAL_HEADER& LoadedHeader(HMODULE module)
{
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew)->OptionalHeader;
}

TEST(ModuleCalibration, WritesTheValuesIntoTheLoadedHeader)
{
    HMODULE module = LoadLibraryW(L"crashreport_calibrated.dll");
    ASSERT_TRUE(module);
    ASSERT_TRUE(CalibrateModule(module));
    const IMAGE_OPTIONAL_HEADER& header = LoadedHeader(module);
    EXPECT_EQ(header.BaseOfCode, 0x1000u);
#if !defined(_WIN64)
    EXPECT_EQ(header.BaseOfData, 0x2000u);
#endif
    EXPECT_EQ(header.SizeOfCode, 0x300u);
    EXPECT_EQ(header.SizeOfInitializedData, 0x400u);
    EXPECT_EQ(header.SizeOfUninitializedData, 0x500u);
    FreeLibrary(module);
}

TEST(ModuleCalibration, AResourceOfAnotherLengthOrNoneChangesNothing)
{
    HMODULE module = LoadLibraryW(L"crashreport_calibrated_short.dll");
    ASSERT_TRUE(module);
    const IMAGE_OPTIONAL_HEADER before = LoadedHeader(module);
    EXPECT_FALSE(CalibrateModule(module));
    EXPECT_EQ(LoadedHeader(module).SizeOfCode, before.SizeOfCode);
    EXPECT_EQ(LoadedHeader(module).BaseOfCode, before.BaseOfCode);
    FreeLibrary(module);
    EXPECT_FALSE(CalibrateModule(GetModuleHandleW(L"kernel32.dll")));
    EXPECT_FALSE(CalibrateModule(nullptr));
}

} // namespace
