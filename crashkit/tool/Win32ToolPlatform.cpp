#include "tool/ToolPlatform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "text/Utf.h"
#include "win32/Win32ZipFiles.h"

std::vector<std::string> ToolArguments(int, char**)
{
    // The UTF-16 command line, so that names outside the ANSI code page arrive whole.
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(WideToUTF8(reinterpret_cast<const char16_t*>(words[i])));
    LocalFree(words);
    return arguments;
}

void UseBinaryStdio()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

IZipFileSystem& ToolZipFiles()
{
    static TWin32ZipFiles files;
    return files;
}
