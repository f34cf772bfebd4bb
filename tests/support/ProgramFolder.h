#pragma once
// Where the running test program lies: the build puts the libraries, stand-ins and child
// copies the tests load beside it.
#include <windows.h>

#include <string>

inline std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

// Without a separator at the end.
inline std::string ProgramFolder()
{
    const std::string path = ProgramPath();
    return path.substr(0, path.find_last_of("\\/"));
}

inline std::string ProgramName()
{
    const std::string path = ProgramPath();
    return path.substr(path.find_last_of("\\/") + 1);
}

// A file, or a path below the program's folder.
inline std::string Beside(const std::string& name)
{
    return ProgramFolder() + "\\" + name;
}
