#include "zip/StdZipFiles.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "text/Utf.h"
#include "zip/DosTime.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kReadOnlyAttribute = 0x01;
constexpr uint32_t kArchiveAttribute = 0x20;

fs::path PathOf(const UnicodeString& name)
{
    const AnsiString utf8 = WideToUTF8(name);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

TDosDateTime LocalDosTime(const fs::path& path)
{
    std::error_code error;
    const auto written = fs::last_write_time(path, error);
    if (error)
        return ToDosDateTime(1980, 1, 1, 0, 0, 0);
    const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        written - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(system);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return ToDosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec);
}

uint32_t AttributesOf(const fs::path& path)
{
    std::error_code error;
    const fs::perms permissions = fs::status(path, error).permissions();
    const bool writable = !error && (permissions & fs::perms::owner_write) != fs::perms::none;
    return kArchiveAttribute | (writable ? 0 : kReadOnlyAttribute);
}

class TStdZipOutput : public IZipOutput {
public:
    explicit TStdZipOutput(const fs::path& path) : file_(path, std::ios::binary | std::ios::trunc) {}
    bool IsOpen() const { return file_.is_open(); }

    bool Write(const void* data, size_t length) override
    {
        file_.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
        return file_.good();
    }

    bool Close() override
    {
        file_.close();
        return !file_.fail();
    }

private:
    std::ofstream file_;
};

} // namespace

std::optional<TZipSourceFile> TStdZipFiles::ReadWholeFile(const UnicodeString& name)
{
    const fs::path path = PathOf(name);
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return std::nullopt;
    // In one read: the debug information beside a module can be tens of megabytes.
    TZipSourceFile source;
    source.contents.resize(static_cast<size_t>(file.tellg()));
    file.seekg(0);
    if (!file.read(source.contents.data(), static_cast<std::streamsize>(source.contents.size())))
        return std::nullopt;
    const TDosDateTime stamp = LocalDosTime(path);
    source.dosTime = stamp.time;
    source.dosDate = stamp.date;
    source.attributes = AttributesOf(path);
    return source;
}

std::unique_ptr<IZipOutput> TStdZipFiles::CreateArchive(const UnicodeString& name)
{
    auto output = std::make_unique<TStdZipOutput>(PathOf(name));
    if (!output->IsOpen())
        return nullptr;
    return output;
}

void TStdZipFiles::DeleteArchive(const UnicodeString& name)
{
    std::error_code error;
    fs::remove(PathOf(name), error);
}
