#include "debuginfo/tool/LookupCommand.h"

#include <cinttypes>
#include <cstdio>

#include "debuginfo/Location.h"
#include "debuginfo/MapFileBuilder.h"
#include "debuginfo/ModuleLayout.h"
#include "text/Utf.h"
#include "tool/ToolPlatform.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

class TToolDebugFiles : public IDebugFiles {
public:
    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override
    {
        std::optional<TZipSourceFile> file = ToolZipFiles().ReadWholeFile(path);
        return file ? std::optional(std::move(file->contents)) : std::nullopt;
    }
};

std::optional<uint64_t> ParseAddress(const std::string& text)
{
    size_t used = 0;
    try {
        const uint64_t value = std::stoull(text, &used, 16);
        return used == text.size() ? std::optional(value) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void PrintLocation(uint64_t address, const std::string& module, const TLocation& location)
{
    std::printf("%08" PRIx64 "\t%s\t%s\t%s\t%d\t%08" PRIx64 "\n", address, module.c_str(),
                WideToUTF8(location.unitName).c_str(), WideToUTF8(location.publicName).c_str(), location.line,
                location.publicAddress);
}

} // namespace

int LookupCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() < 2)
        return kBadArguments;
    std::vector<uint64_t> addresses;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::optional<uint64_t> address = ParseAddress(arguments[i]);
        if (!address)
            return kBadArguments;
        addresses.push_back(*address);
    }
    const TToolDebugFiles files;
    const UnicodeString path = UTF8ToWide(arguments[0]);
    const std::optional<std::string> contents = files.ReadWholeFile(path);
    if (!contents)
        return kFailed;
    const TBufferReader reader(*contents);
    const std::optional<TPeHeaders> headers = ReadPeHeaders(reader, 0);
    if (!headers)
        return kFailed;
    const TFileImage image(reader, 0, *headers);
    const std::optional<uint64_t> base = PreferredImageBase(image);
    if (!base)
        return kFailed;
    const TMapFile map = BuildMapFile({&image, *base, path}, files);
    if (!map.Valid())
        return kFailed;
    const std::string module = BaseName(arguments[0]);
    for (uint64_t address : addresses) {
        TLocation location;
        LocateAddress(map, address, location);
        PrintLocation(address, module, location);
    }
    return std::fflush(stdout) == 0 ? 0 : kFailed;
}
