#include "tool/ToolPlatform.h"

#include "zip/StdZipFiles.h"

std::vector<std::string> ToolArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryStdio()
{
}

IZipFileSystem& ToolZipFiles()
{
    static TStdZipFiles files;
    return files;
}
