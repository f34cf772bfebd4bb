#include "engine/win/LibraryFolders.h"

#include <shlobj.h>

#include <array>
#include <memory>

#include "engine/EngineText.h"
#include "text/FilePaths.h"

namespace {

constexpr DWORD kNameCapacity = MAX_PATH;
constexpr int kApplicationDataFolder = 0x1A;

const wchar_t* Wide(const UnicodeString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

UnicodeString FromWide(const wchar_t* text)
{
    return UnicodeString(reinterpret_cast<const char16_t*>(text));
}

UnicodeString WithBackslash(UnicodeString path)
{
    if (!path.empty() && path.back() != u'\\')
        path += u'\\';
    return path;
}

struct TFindCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};

UnicodeString LibraryTempFolderName()
{
    std::array<wchar_t, kNameCapacity + 1> buffer{};
    UnicodeString temp;
    if (GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data()) != 0)
        temp = FromWide(buffer.data());
    if (temp.empty())
        temp = GetSpecialFolder(kApplicationDataFolder, true);
    if (temp.empty())
        return {};
    temp = WithBackslash(temp);
    return temp + RemoveExtension(ExtractFileNameW(GetModuleFileNameText(nullptr))) + u".zelExcept\\";
}

} // namespace

UnicodeString GetModuleFileNameText(HMODULE module)
{
    std::array<wchar_t, kNameCapacity + 1> buffer{};
    const DWORD length = GetModuleFileNameW(module, buffer.data(), kNameCapacity);
    return UnicodeString(reinterpret_cast<const char16_t*>(buffer.data()), length);
}

UnicodeString GetLibraryTempFolder()
{
    const UnicodeString folder = LibraryTempFolderName();
    if (folder.empty())
        return {};
    const UnicodeString parent = ExtractFilePathW(folder.substr(0, folder.size() - 1));
    CreateDirectoryW(Wide(parent), nullptr);
    CreateDirectoryW(Wide(folder), nullptr);
    return folder;
}

void EmptyLibraryTempFolder()
{
    const UnicodeString folder = LibraryTempFolderName();
    if (folder.empty() || GetFileAttributesW(Wide(folder)) == INVALID_FILE_ATTRIBUTES)
        return;
    WIN32_FIND_DATAW found{};
    const UnicodeString pattern = folder + u"*.*";
    const HANDLE first = FindFirstFileW(Wide(pattern), &found);
    if (first != INVALID_HANDLE_VALUE) {
        const std::unique_ptr<void, TFindCloser> search(first);
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(Wide(folder + FromWide(found.cFileName)));
        } while (FindNextFileW(search.get(), &found));
    }
    RemoveDirectoryW(Wide(folder));
}

UnicodeString GetComputerNameText()
{
    std::array<wchar_t, kNameCapacity + 1> buffer{};
    DWORD length = kNameCapacity;
    if (!GetComputerNameW(buffer.data(), &length))
        return {};
    return UnicodeString(reinterpret_cast<const char16_t*>(buffer.data()), length);
}

UnicodeString GetSpecialFolder(int folderId, bool trailingBackslash)
{
    UnicodeString path;
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, folderId, &items)) && items) {
        std::array<wchar_t, kNameCapacity + 1> buffer{};
        if (SHGetPathFromIDListW(items, buffer.data()))
            path = FromWide(buffer.data());
        CoTaskMemFree(items);
    }
    if (path.empty())
        path = ExtractFilePathW(GetModuleFileNameText(nullptr));
    if (trailingBackslash)
        return WithBackslash(path);
    while (!path.empty() && path.back() == u'\\')
        path.pop_back();
    return path;
}

UnicodeString ExpandProgramPathText(const UnicodeString& path)
{
    return ExpandProgramPath(path, GetModuleFileNameText(nullptr));
}
