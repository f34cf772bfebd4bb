// Stands in for the system's image editor in the screenshot form's tests: opened on a 32-bit
// bitmap file, it writes the same size back filled with one colour and ends.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint8_t EditedBlue = 40, EditedGreen = 30, EditedRed = 200;

struct TSize {
    int32_t width = 0;
    int32_t height = 0;
};

TSize ReadSize(const std::wstring& file)
{
    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    std::vector<char> header(54);
    TSize size;
    if (in.read(header.data(), 54)) {
        std::memcpy(&size.width, &header[18], 4);
        std::memcpy(&size.height, &header[22], 4);
    }
    return size;
}

void Put32(std::string& bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
}

void Put16(std::string& bytes, uint16_t value)
{
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
}

} // namespace

int main()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 2)
        return 2;
    const std::wstring file = arguments[1];
    LocalFree(arguments);
    const TSize size = ReadSize(file);
    if (size.width <= 0 || size.height <= 0)
        return 3;
    const uint32_t pixels = static_cast<uint32_t>(size.width) * static_cast<uint32_t>(size.height) * 4;
    std::string bytes = "BM";
    Put32(bytes, pixels + 54);
    Put32(bytes, 0);
    Put32(bytes, 54);
    Put32(bytes, 40);
    Put32(bytes, static_cast<uint32_t>(size.width));
    Put32(bytes, static_cast<uint32_t>(size.height));
    Put16(bytes, 1);
    Put16(bytes, 32);
    for (int i = 0; i < 6; ++i)
        Put32(bytes, i == 1 ? pixels : 0);
    for (uint32_t i = 0; i < pixels / 4; ++i)
        bytes += std::string{static_cast<char>(EditedBlue), static_cast<char>(EditedGreen), static_cast<char>(EditedRed), 0};
    std::ofstream out(std::filesystem::path(file), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 4;
}
