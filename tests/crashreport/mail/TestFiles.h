#pragma once
// What the route tests against local servers share: bytes as the servers record them, and the
// files a route sends, in a folder of the test program's own.
#include <windows.h>

#include <fstream>
#include <string>

#include "text/ZelTypes.h"

// Lower-case hexadecimal, two digits a byte.
inline std::string Hex(const std::string& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

// "<temp>\<name>-<process id>\", made if it is not there.
inline std::string OwnTempFolder(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Writes the file into the folder and gives its path as the routes take it.
inline UnicodeString WriteTestFile(const std::string& folder, const std::string& name, const std::string& content)
{
    const std::string path = folder + name;
    std::ofstream(path, std::ios::binary) << content;
    return UnicodeString(path.begin(), path.end());
}
