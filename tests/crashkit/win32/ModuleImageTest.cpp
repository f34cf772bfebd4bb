#include "win32/ModuleImage.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "win32/MemoryAccess.h"

namespace {

// Every named export of a loaded module, read with the system's own structures.
std::vector<std::string> ExportNames(HMODULE module)
{
    const auto* exports = GetImageExportDirectory(module);
    std::vector<std::string> names;
    if (!exports)
        return names;
    const auto* base = reinterpret_cast<const char*>(module);
    const auto* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(base + nameTable[i]);
    return names;
}

void ExpectSameAsTheSystem(const char* moduleName)
{
    const HMODULE module = GetModuleHandleA(moduleName);
    ASSERT_NE(nullptr, module) << moduleName;
    const std::vector<std::string> names = ExportNames(module);
    ASSERT_GT(names.size(), 100u) << moduleName;
    for (size_t i = 0; i < names.size(); ++i) {
        const char* name = names[i].c_str();
        const FARPROC expected = GetProcAddress(module, name);
        EXPECT_EQ(expected, GetImageProcAddress(module, name, false)) << moduleName << "!" << name;
        // Through the file image as well; every 16th name keeps the run short.
        if (i % 16 == 0) {
            EXPECT_EQ(expected, GetImageProcAddress(module, name, true)) << moduleName << "!" << name;
        }
    }
}

TEST(ModuleImage, ExportsResolveAsTheSystemResolvesThem)
{
    // kernel32 forwards many of its exports to other modules.
    ExpectSameAsTheSystem("kernel32.dll");
    ExpectSameAsTheSystem("ntdll.dll");
    EXPECT_EQ(nullptr, GetImageProcAddress(GetModuleHandleA("kernel32.dll"), "NoSuchExportAtAll", false));
    EXPECT_EQ(nullptr, GetImageProcAddress(nullptr, "GetTickCount", false));
}

TEST(ModuleImage, OrdinalsAndNamesOfAddresses)
{
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const auto* exports = GetImageExportDirectory(kernel32);
    ASSERT_NE(nullptr, exports);
    const auto* base = reinterpret_cast<const char*>(kernel32);
    const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    const auto* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    const DWORD exportStart = reinterpret_cast<const char*>(exports) - base;
    int checked = 0;
    for (DWORD i = 0; i < exports->NumberOfNames && checked < 200; ++i) {
        const DWORD rva = functions[ordinals[i]];
        if (rva >= exportStart && rva < exportStart + 0x10000)
            continue; // forwarder
        const void* address = base + rva;
        AnsiString name;
        ASSERT_TRUE(GetExportNameA(kernel32, address, false, name)) << base + nameTable[i];
        // Several names may share an address; the one found must lead there too.
        EXPECT_EQ(reinterpret_cast<FARPROC>(const_cast<void*>(address)), GetProcAddress(kernel32, name.c_str()));
        EXPECT_EQ(reinterpret_cast<FARPROC>(const_cast<void*>(address)),
                  GetImageProcAddressByOrdinal(kernel32, exports->Base + ordinals[i]));
        UnicodeString wide;
        EXPECT_TRUE(GetExportNameW(kernel32, address, false, wide));
        EXPECT_EQ(UnicodeString(name.begin(), name.end()), wide);
        ++checked;
    }
    EXPECT_GT(checked, 50);
    AnsiString name = "stale";
    EXPECT_FALSE(GetExportNameA(kernel32, base + 1, false, name));
    EXPECT_EQ("", name);
}

TEST(ModuleImage, HeadersAndDirectories)
{
    const HMODULE program = GetModuleHandleA(nullptr);
    const IMAGE_NT_HEADERS* headers = GetImageNtHeaders(program);
    ASSERT_NE(nullptr, headers);
    EXPECT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), headers->Signature);
    EXPECT_EQ(headers->OptionalHeader.SizeOfImage, GetImageSize(headers));
    EXPECT_EQ(0u, GetImageSize(nullptr));
    EXPECT_EQ(sizeof(void*) == 8 ? 0x20B : 0x10B, headers->OptionalHeader.Magic);
    EXPECT_NE(nullptr, GetImageDirectory(program, IMAGE_DIRECTORY_ENTRY_IMPORT));
    EXPECT_NE(nullptr, GetImageExportDirectory(GetModuleHandleA("kernel32.dll")));

    int local = 0;
    EXPECT_EQ(nullptr, GetImageNtHeaders(reinterpret_cast<HMODULE>(&local)));
    EXPECT_EQ(nullptr, GetImageNtHeaders(nullptr));
    EXPECT_EQ(nullptr, GetImageNtHeaders(reinterpret_cast<HMODULE>(uintptr_t{0x10})));
}

TEST(ModuleImage, ModuleOfAnAddress)
{
    HMODULE module = nullptr;
    UnicodeString fileName;
    ASSERT_TRUE(GetModuleOfAddress(reinterpret_cast<const void*>(&GetModuleOfAddress), module, fileName));
    EXPECT_EQ(GetModuleHandleA(nullptr), module);
    EXPECT_NE(UnicodeString::npos, fileName.find(u"crashkit_tests.exe"));

    int local = 0;
    EXPECT_FALSE(GetModuleOfAddress(&local, module, fileName));
    EXPECT_EQ(nullptr, module);
    EXPECT_TRUE(fileName.empty());
    EXPECT_FALSE(GetModuleOfAddress(nullptr, module, fileName));
}

TEST(ModuleImage, RawResources)
{
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const std::string version = LoadResourceStr(kernel32, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1));
    ASSERT_GT(version.size(), 40u);
    // A version resource begins with its length and "VS_VERSION_INFO" in UTF-16.
    EXPECT_EQ(std::string("V\0S\0_\0V\0", 8), version.substr(6, 8));
    EXPECT_EQ("", LoadResourceStr(kernel32, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(999)));
}

TEST(MemoryAccess, ReadableAreas)
{
    int local[4] = {};
    EXPECT_FALSE(IsBadReadArea(local, sizeof local));
    EXPECT_TRUE(IsBadReadArea(nullptr, 1));

    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    auto* block = static_cast<char*>(VirtualAlloc(nullptr, 4 * page, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(nullptr, block);
    ASSERT_NE(nullptr, VirtualAlloc(block, page, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, VirtualAlloc(block + page, page, MEM_COMMIT, PAGE_NOACCESS));
    ASSERT_NE(nullptr, VirtualAlloc(block + 2 * page, page, MEM_COMMIT, PAGE_READONLY | PAGE_GUARD));
    EXPECT_FALSE(IsBadReadArea(block, page));
    EXPECT_TRUE(IsBadReadArea(block, page + 1));     // runs into the next region
    EXPECT_TRUE(IsBadReadArea(block + page, 1));     // no access
    EXPECT_TRUE(IsBadReadArea(block + 2 * page, 1)); // guard page
    EXPECT_TRUE(IsBadReadArea(block + 3 * page, 1)); // reserved only

    const TLiveMemoryReader reader;
    char copy = 1;
    EXPECT_TRUE(reader.Read(reinterpret_cast<uintptr_t>(block), &copy, 1));
    EXPECT_EQ(0, copy);
    EXPECT_FALSE(reader.Read(reinterpret_cast<uintptr_t>(block + page - 1), &copy, 2));
    EXPECT_FALSE(reader.Read(reinterpret_cast<uintptr_t>(block + page), &copy, 1));
    VirtualFree(block, 0, MEM_RELEASE);
}

TEST(MemoryAccess, TicksSinceAPastCount)
{
    const DWORD before = GetTickCount() - 1000;
    const uint32_t elapsed = TicksSince(before);
    EXPECT_GE(elapsed, 1000u);
    EXPECT_LT(elapsed, 60000u);
}

} // namespace

namespace {

// Points one export entry of a loaded module elsewhere for the length of a test.
class TRedirectedExport {
public:
    TRedirectedExport(HMODULE module, const char* name, DWORD newRva)
    {
        const auto* exports = GetImageExportDirectory(module);
        const auto* base = reinterpret_cast<const char*>(module);
        const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
            if (std::string(base + names[i]) == name)
                entry_ = reinterpret_cast<DWORD*>(const_cast<char*>(base) + exports->AddressOfFunctions) + ordinals[i];
        }
        if (entry_ && VirtualProtect(entry_, sizeof *entry_, PAGE_READWRITE, &protection_)) {
            original_ = *entry_;
            *entry_ = newRva;
        } else {
            entry_ = nullptr;
        }
    }
    ~TRedirectedExport()
    {
        if (!entry_)
            return;
        *entry_ = original_;
        DWORD ignored = 0;
        VirtualProtect(entry_, sizeof *entry_, protection_, &ignored);
    }
    bool Done() const { return entry_ != nullptr; }

private:
    DWORD* entry_ = nullptr;
    DWORD original_ = 0;
    DWORD protection_ = 0;
};

TEST(ModuleImage, AnEntryRedirectedInMemoryIsReadFromTheFile)
{
    const HMODULE version = LoadLibraryA("version.dll");
    ASSERT_NE(nullptr, version);
    const FARPROC original = GetProcAddress(version, "GetFileVersionInfoSizeW");
    ASSERT_NE(nullptr, original);
    const IMAGE_NT_HEADERS* headers = GetImageNtHeaders(version);
    ASSERT_NE(nullptr, headers);
    {
        const TRedirectedExport redirected(version, "GetFileVersionInfoSizeW", GetImageSize(headers) + 0x1000);
        ASSERT_TRUE(redirected.Done());
        EXPECT_EQ(original, GetImageProcAddress(version, "GetFileVersionInfoSizeW", false));
    }
    {
        // Inside the image the memory entry stands, unless the file is asked for.
        const DWORD inside = static_cast<DWORD>(reinterpret_cast<const char*>(original) -
                                                reinterpret_cast<const char*>(version)) + 1;
        const TRedirectedExport redirected(version, "GetFileVersionInfoSizeW", inside);
        ASSERT_TRUE(redirected.Done());
        EXPECT_EQ(reinterpret_cast<const char*>(original) + 1,
                  reinterpret_cast<const char*>(GetImageProcAddress(version, "GetFileVersionInfoSizeW", false)));
        EXPECT_EQ(original, GetImageProcAddress(version, "GetFileVersionInfoSizeW", true));
    }
    FreeLibrary(version);
}

} // namespace
