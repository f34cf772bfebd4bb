#pragma once
// crashkit-tool png and bmp: BMP files turned into the crash report's PNG and BMP images.
#include <string>
#include <vector>

// [--grey] IN.bmp OUT.png
int PngCommand(const std::vector<std::string>& arguments);
// IN.bmp OUT.bmp
int BmpCommand(const std::vector<std::string>& arguments);
