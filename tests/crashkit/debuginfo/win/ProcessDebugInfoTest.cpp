#include "ProcessDebugInfo.h"

#include <windows.h>

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "ExceptionGuard.h"
#include "WinModuleSystem.h"
#include "support/LoadedModule.h"
#include "text/Utf.h"

namespace {

// A DLL mapped as an image without running its entry point.
HMODULE MapDll(const std::wstring& path)
{
    return LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
}

std::wstring Here()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// A fresh folder under the temporary folder, removed with what it holds.
class TTempFolder {
public:
    TTempFolder()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"debuginfo-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TTempFolder()
    {
        for (const std::wstring& file : files_)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(path_.c_str());
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::wstring File(const std::wstring& name)
    {
        files_.push_back(path_ + name);
        return files_.back();
    }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

std::string Narrow(const UnicodeString& text)
{
    return WideToUTF8(text);
}

TEST(ProcessDebugInfo, OwnResourceOfTheBuiltDll)
{
    const TLoadedModule dll(MapDll(Here() + L"Conduvex.dll"));
    ASSERT_NE(dll.Get(), nullptr);
    const void* open = reinterpret_cast<const void*>(GetProcAddress(dll.Get(), "ciOpen"));
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(FindMapFile(open)->Valid());
    EXPECT_EQ(FindMapFile(open), FindMapFile(open)); // built once

    TLocation location;
    ASSERT_TRUE(GetLocation(static_cast<const char*>(open) + 1, location));
    EXPECT_EQ(location.publicAddress, reinterpret_cast<uintptr_t>(open));
    EXPECT_EQ(Narrow(location.publicName).rfind("ciOpen", 0), 0u) << Narrow(location.publicName);
    EXPECT_GT(location.line, 0);
    EXPECT_TRUE(Narrow(location.unitName).ends_with(".cpp")) << Narrow(location.unitName);
    EXPECT_TRUE(Narrow(location.moduleFileName).ends_with("Conduvex.dll"));
}

TEST(ProcessDebugInfo, ModulesWithoutDebugInformationGiveNoLocation)
{
    TLocation location;
    EXPECT_FALSE(GetMyLocation(location)); // the test program carries none
    EXPECT_FALSE(GetLocation(reinterpret_cast<const void*>(&GetTickCount), location));
    EXPECT_FALSE(FindMapFile(reinterpret_cast<const void*>(0x10))->Valid());
}

TEST(ProcessDebugInfo, PartsOfAModuleFile)
{
    const TWinModuleSystem modules;
    const std::wstring path = Here() + L"Conduvex.dll";
    const UnicodeString name(reinterpret_cast<const char16_t*>(path.c_str()), path.size());
    const std::optional<std::string> whole = modules.ReadWholeFile(name);
    ASSERT_TRUE(whole.has_value());
    ASSERT_GT(whole->size(), 0x10000u);
    EXPECT_EQ(modules.ReadFilePart(name, 0, 2), "MZ");
    EXPECT_EQ(modules.ReadFilePart(name, 0x8000, 0x100), whole->substr(0x8000, 0x100));
    EXPECT_EQ(modules.ReadFilePart(name, whole->size() - 3, 100), whole->substr(whole->size() - 3));
    EXPECT_EQ(modules.ReadFilePart(name, whole->size(), 4), std::string());
    EXPECT_EQ(modules.ReadFilePart(name + u".none", 0, 4), std::nullopt);
}

TEST(ProcessDebugInfo, ProgramDatabaseThroughTheDebugHelper)
{
    TTempFolder folder;
    const std::wstring dll = folder.File(L"ConduvexPlain.dll");
    ASSERT_TRUE(CopyFileW((Here() + L"ConduvexPlain.dll").c_str(), dll.c_str(), FALSE));
    // The helper reads the DLL's own DWARF data; the database only has to exist.
    const HANDLE database = CreateFileW(folder.File(L"ConduvexPlain.pdb").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(database, INVALID_HANDLE_VALUE);
    CloseHandle(database);

    const TLoadedModule mapped(MapDll(dll));
    ASSERT_NE(mapped.Get(), nullptr);
    const void* open = reinterpret_cast<const void*>(GetProcAddress(mapped.Get(), "ciOpen"));
    ASSERT_NE(open, nullptr);
    const std::shared_ptr<const TMapFile> map = FindMapFile(open);
    ASSERT_TRUE(map->Valid());
    const TMfPublic item = map->FindPublic(reinterpret_cast<uintptr_t>(open));
    EXPECT_EQ(item.address, reinterpret_cast<uintptr_t>(open));
    EXPECT_NE(Narrow(item.name).find("ciOpen"), std::string::npos) << Narrow(item.name);
}

TEST(ExceptionGuard, RaisedErrorsEndTheCallOthersPass)
{
    bool reached = false;
    EXPECT_FALSE(CallGuarded([&] {
        RaiseException(0x80000100, 0, 0, nullptr);
        reached = true;
    }));
    EXPECT_FALSE(reached);
    EXPECT_FALSE(CallGuarded([] { *static_cast<volatile int*>(nullptr) = 1; }));
    EXPECT_TRUE(CallGuarded([&] { reached = true; }));
    EXPECT_TRUE(reached);
    EXPECT_THROW(CallGuarded([] { throw std::runtime_error("passes"); }), std::runtime_error);
    EXPECT_FALSE(CallGuarded([] { RaiseException(0xC0000005, 0, 0, nullptr); }));
}

} // namespace
