#include <gtest/gtest.h>

#include <windows.h>

#include <imagehlp.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/win/LibraryFolders.h"
#include "startup/PeChecksum.h"
#include "startup/win/ModuleChecksum.h"

namespace {

std::vector<uint8_t> ReadFileBytes(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(ModuleChecksum, AgreesWithTheSystemsImageChecksum)
{
    std::vector<uint8_t> image = ReadFileBytes(OwnPath());
    ASSERT_GT(image.size(), 4096u);
    const auto offset = PeChecksumOffset(image);
    ASSERT_TRUE(offset);
    DWORD stored = 0;
    DWORD computed = 0;
    ASSERT_TRUE(CheckSumMappedFile(image.data(), static_cast<DWORD>(image.size()), &stored, &computed));
    EXPECT_EQ(ComputePeChecksum(image, *offset), computed);
    // An odd length too.
    image.push_back(0x5A);
    ASSERT_TRUE(CheckSumMappedFile(image.data(), static_cast<DWORD>(image.size()), &stored, &computed));
    EXPECT_EQ(ComputePeChecksum(image, *offset), computed);
}

TEST(ModuleChecksum, ALoadedModuleWithoutChecksumIsSoundAndAFalsifiedCopyIsCorrupt)
{
    EXPECT_FALSE(IsModuleFileCorrupt(GetModuleHandleW(nullptr)));

    // A copy of a small image with a stored checksum, loaded as data, then altered on disk.
    std::vector<uint8_t> image = ReadFileBytes(OwnPath());
    const size_t offset = *PeChecksumOffset(image);
    const uint32_t sum = ComputePeChecksum(image, offset);
    for (int byte = 0; byte < 4; ++byte)
        image[offset + byte] = static_cast<uint8_t>(sum >> (8 * byte));
    const std::wstring copy = reinterpret_cast<const wchar_t*>(GetLibraryTempFolder().c_str()) + std::wstring(L"sum.exe");
    CreateDirectoryW(reinterpret_cast<const wchar_t*>(GetLibraryTempFolder().c_str()), nullptr);
    {
        std::ofstream out(std::filesystem::path(copy), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    HMODULE loaded = LoadLibraryExW(copy.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(IsModuleFileCorrupt(loaded));
    FreeLibrary(loaded);

    image[image.size() / 2] ^= 0x01;
    {
        std::ofstream out(std::filesystem::path(copy), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    loaded = LoadLibraryExW(copy.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(IsModuleFileCorrupt(loaded));
    FreeLibrary(loaded);
    DeleteFileW(copy.c_str());
}

} // namespace
