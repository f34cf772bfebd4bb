#pragma once
// What crashkit-tool takes from the platform it runs on.
#include <string>
#include <vector>

#include "zip/ZipFileSystem.h"

// The program's arguments after its name, as UTF-8.
std::vector<std::string> ToolArguments(int argc, char** argv);
// Standard input and output carry bytes unchanged.
void UseBinaryStdio();
// The files the zip subcommand archives, through the platform's own file layer.
IZipFileSystem& ToolZipFiles();
