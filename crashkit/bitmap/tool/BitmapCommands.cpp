#include "bitmap/tool/BitmapCommands.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "bitmap/BmpFile.h"
#include "bitmap/PngFile.h"
#include "text/Utf.h"
#include "tool/ToolPlatform.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
constexpr uint8_t kGreyDepth = 1;
constexpr uint8_t kColourDepth = 8;

std::optional<TBitmapPixels> ReadBmpFile(const std::string& name)
{
    const std::optional<TZipSourceFile> file = ToolZipFiles().ReadWholeFile(UTF8ToWide(name));
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", name.c_str());
        return std::nullopt;
    }
    const auto& data = file->contents;
    std::optional<TBitmapPixels> pixels = ReadBmp({reinterpret_cast<const uint8_t*>(data.data()), data.size()});
    if (!pixels)
        std::fprintf(stderr, "%s is no bitmap file this tool reads\n", name.c_str());
    return pixels;
}

int WriteFile(const std::string& name, const std::string& image)
{
    if (image.empty()) {
        std::fprintf(stderr, "no image\n");
        return kFailed;
    }
    const std::unique_ptr<IZipOutput> output = ToolZipFiles().CreateArchive(UTF8ToWide(name));
    if (!output || !output->Write(image.data(), image.size()) || !output->Close()) {
        std::fprintf(stderr, "cannot write %s\n", name.c_str());
        return kFailed;
    }
    return 0;
}

} // namespace

int PngCommand(const std::vector<std::string>& arguments)
{
    const bool grey = !arguments.empty() && arguments[0] == "--grey";
    if (arguments.size() != (grey ? 3u : 2u))
        return kBadArguments;
    const std::optional<TBitmapPixels> pixels = ReadBmpFile(arguments[grey ? 1 : 0]);
    if (!pixels)
        return kFailed;
    return WriteFile(arguments.back(), BuildPngForDepth(*pixels, grey ? kGreyDepth : kColourDepth));
}

int BmpCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 2)
        return kBadArguments;
    const std::optional<TBitmapPixels> pixels = ReadBmpFile(arguments[0]);
    if (!pixels)
        return kFailed;
    return WriteFile(arguments[1], BuildBmp(*pixels));
}
