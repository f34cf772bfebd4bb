#pragma once
// A case of a road test of Conduvex.dll: a folder with a copy of the library carrying its own
// settings resource (a road-settings-*.bin variant) and a copy of a host program, the host
// started there and its windows waited for.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../../dialog/box/win/BoxDriver.h"

namespace fs = std::filesystem;

inline constexpr DWORD kHostTimeoutMs = 30000;

inline fs::path ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

inline std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline BOOL CALLBACK TakeLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD found, LONG_PTR out)
{
    *reinterpret_cast<WORD*>(out) = found;
    return FALSE;
}

// The language the library's settings resource was written in.
inline WORD SettingsLanguage(const fs::path& library)
{
    WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    HMODULE module = LoadLibraryExW(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return language;
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(10), L"TZELEXCEPT", &TakeLanguage,
                           reinterpret_cast<LONG_PTR>(&language));
    FreeLibrary(module);
    return language;
}

// A folder with the host and a library whose settings resource is the variant's; the library as
// built, or another build of it (a path below the program's folder).
inline fs::path PrepareCase(const std::string& name, const std::string& variant,
                            const std::string& host = "crashreport_road_host.exe",
                            const std::string& library = "Conduvex.dll")
{
    const fs::path folder = ProgramFolder() / "conduvex-road" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(ProgramFolder() / library, folder / "Conduvex.dll");
    fs::copy_file(ProgramFolder() / host, folder / "crashreport_road_host.exe");
    const std::string settings = ReadText(ProgramFolder() / ("road-settings-" + variant + ".bin"));
    EXPECT_FALSE(settings.empty());
    const WORD language = SettingsLanguage(folder / "Conduvex.dll");
    HANDLE update = BeginUpdateResourceW((folder / "Conduvex.dll").c_str(), FALSE);
    EXPECT_TRUE(update);
    EXPECT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(10), L"TZELEXCEPT", language,
                                const_cast<char*>(settings.data()), static_cast<DWORD>(settings.size())));
    EXPECT_TRUE(EndUpdateResourceW(update, FALSE));
    return folder;
}

// The host started in the folder; ended by Finish.
inline PROCESS_INFORMATION StartHost(const fs::path& folder, const std::wstring& arguments)
{
    std::wstring line = L"\"" + (folder / "crashreport_road_host.exe").wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                       &process))
        CloseHandle(process.hThread);
    return process;
}

// The host's exit code, or -1 when it did not end in time (it is ended then); -2 when it never ran.
inline long Finish(const PROCESS_INFORMATION& process, DWORD timeoutMs = kHostTimeoutMs)
{
    if (!process.hProcess)
        return -2;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

// A visible top-level window of the class that belongs to another process, once it shows.
inline HWND WaitForWindowOf(DWORD processId, const wchar_t* windowClass)
{
    HWND found = nullptr;
    box_driver::WaitFor([&] {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, windowClass, nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId && IsWindowVisible(window)) {
                found = window;
                return true;
            }
        }
        return false;
    });
    return found;
}
