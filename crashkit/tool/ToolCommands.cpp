#include "tool/ToolCommands.h"

#include <array>
#include <cstdio>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "bitmap/tool/BitmapCommands.h"
#include "crypto/Base64.h"
#include "crypto/Blowfish.h"
#include "debuginfo/tool/LookupCommand.h"
#include "disasm/tool/DisasmCommands.h"
#include "text/Utf.h"
#include "tool/SettingsCommand.h"
#include "tool/ToolPlatform.h"
#include "zip/CompressedString.h"
#include "zip/Crc32.h"
#include "zip/ZipArchive.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
// Counter mode needs a nonzero IV; this one is used when none is given.
constexpr uint64_t kDefaultCounterIv = 0x0807060504030201;

std::string ReadAll(std::FILE* file)
{
    std::string data;
    std::array<char, 65536> buffer;
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
        data.append(buffer.data(), got);
    if (std::ferror(file))
        throw std::runtime_error("cannot read the input");
    return data;
}

int WriteAll(std::string_view data)
{
    if (std::fwrite(data.data(), 1, data.size(), stdout) != data.size() || std::fflush(stdout) != 0)
        return kFailed;
    return 0;
}

std::string FromHex(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        throw std::runtime_error("hex text of odd length");
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

// Direction argument: "enc" or "dec"; anything else is a usage error.
bool IsDirection(const std::string& text)
{
    return text == "enc" || text == "dec";
}

int Zip(const std::vector<std::string>& arguments)
{
    if (arguments.size() < 2)
        return kBadArguments;
    TDAUnicodeString files;
    for (size_t i = 1; i < arguments.size(); ++i)
        files.push_back(UTF8ToWide(arguments[i]));
    return WriteZipArchive(ToolZipFiles(), UTF8ToWide(arguments[0]), files, {}) ? 0 : kFailed;
}

int CompressCommand(const std::vector<std::string>& arguments)
{
    if (!arguments.empty())
        return kBadArguments;
    const std::string packed = CompressStr(ReadAll(stdin));
    return packed.empty() ? kFailed : WriteAll(packed);
}

int UncompressCommand(const std::vector<std::string>& arguments)
{
    if (!arguments.empty())
        return kBadArguments;
    const std::string input = ReadAll(stdin);
    const std::string data = UncompressStr(input);
    // An empty result is also what a bad string gives; only a header of length 0 makes it good.
    const bool emptyByHeader = input.size() > 12 && input.compare(0, 4, std::string(4, '\0')) == 0;
    if (data.empty() && !emptyByHeader)
        return kFailed;
    return WriteAll(data);
}

int Crc32Command(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1)
        return kBadArguments;
    // Through the platform's file layer, which takes names outside the ANSI code page.
    const std::optional<TZipSourceFile> file = ToolZipFiles().ReadWholeFile(UTF8ToWide(arguments[0]));
    if (!file)
        return kFailed;
    const std::string& data = file->contents;
    const uint32_t crc = ~UpdateCrc32(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size()));
    std::printf("%08x\n", crc);
    return 0;
}

int Blowfish(const std::vector<std::string>& arguments, bool counterMode)
{
    const size_t expected = counterMode ? 3 : 2;
    if (arguments.size() < 2 || arguments.size() > expected || !IsDirection(arguments[1]))
        return kBadArguments;
    const std::string key = FromHex(arguments[0]);
    uint64_t iv = 0;
    if (counterMode)
        iv = arguments.size() == 3 ? std::stoull(arguments[2], nullptr, 16) : kDefaultCounterIv;
    std::string data = ReadAll(stdin);
    if (!BlowfishCrypt(data.data(), data.size(), arguments[1] == "enc", false, iv, key))
        return kFailed;
    return WriteAll(data);
}

int BlowfishEcb(const std::vector<std::string>& arguments)
{
    return Blowfish(arguments, false);
}

int BlowfishCtr(const std::vector<std::string>& arguments)
{
    return Blowfish(arguments, true);
}

int Base64Command(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1 || !IsDirection(arguments[0]))
        return kBadArguments;
    const std::string input = ReadAll(stdin);
    return WriteAll(arguments[0] == "enc" ? EncodeBase64Str(input) : DecodeBase64Str(input));
}

constexpr TToolCommand kCommands[] = {
    {"zip", "OUT.zip FILE...", Zip},
    {"compress", "(compressed string of stdin to stdout)", CompressCommand},
    {"uncompress", "(compressed string on stdin to its data on stdout)", UncompressCommand},
    {"crc32", "FILE", Crc32Command},
    {"blowfish-ecb", "KEYHEX enc|dec (standard byte order, whole blocks; stdin to stdout)", BlowfishEcb},
    {"blowfish-ctr", "KEYHEX enc|dec [IVHEX] (counter mode; stdin to stdout)", BlowfishCtr},
    {"base64", "enc|dec (stdin to stdout)", Base64Command},
    {"disasm", "[--section NAME] PE-FILE | --raw FILE --base HEX (one instruction a line)", DisasmCommand},
    {"function", "PE-FILE ADDRESS (the function's text and what its walk found)", FunctionCommand},
    {"lookup", "PE-FILE ADDRESS... (module, unit, function, line and function start of each address)", LookupCommand},
    {"png", "[--grey] IN.bmp OUT.png (256 colours, or 16 greys)", PngCommand},
    {"bmp", "IN.bmp OUT.bmp (the bitmap's own 32-bit BMP image)", BmpCommand},
    {"settings", "PE-FILE (the settings resource as the store reads it, one name=value a line)", SettingsCommand},
};

} // namespace

std::span<const TToolCommand> ToolCommands()
{
    return kCommands;
}
