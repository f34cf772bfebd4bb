#include "zip/ZipArchive.h"

#include <optional>
#include <string>
#include <vector>

#include "text/Utf.h"
#include "zip/Crc32.h"
#include "zip/Deflate.h"

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint16_t kZipVersion = 20;
constexpr uint16_t kUtf8NamesFlag = 0x0800;
constexpr uint16_t kDeflateMethod = 8;
// The archive has 32-bit sizes and offsets and 16-bit counts; beyond them we stop.
constexpr uint64_t kZipLimit = 0xFFFFFFFFu;
constexpr size_t kMaxEntries = 0xFFFF;

void Put16(std::string& out, uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, static_cast<uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

struct TStoredMember {
    std::string name; // UTF-8
    uint16_t dosTime;
    uint16_t dosDate;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t size;
    uint32_t attributes;
    uint32_t offset;
};

// The fields the local and the central header share, from "version needed" on.
void PutCommonFields(std::string& out, const TStoredMember& member)
{
    Put16(out, kZipVersion);
    Put16(out, kUtf8NamesFlag);
    Put16(out, kDeflateMethod);
    Put16(out, member.dosTime);
    Put16(out, member.dosDate);
    Put32(out, member.crc);
    Put32(out, member.compressedSize);
    Put32(out, member.size);
    Put16(out, static_cast<uint16_t>(member.name.size()));
    Put16(out, 0); // extra field length
}

std::string LocalHeader(const TStoredMember& member)
{
    std::string out;
    Put32(out, kLocalHeaderSignature);
    PutCommonFields(out, member);
    return out + member.name;
}

std::string CentralHeader(const TStoredMember& member)
{
    std::string out;
    Put32(out, kCentralHeaderSignature);
    Put16(out, kZipVersion); // made by
    PutCommonFields(out, member);
    Put16(out, 0); // comment length
    Put16(out, 0); // disk number
    Put16(out, 0); // internal attributes
    Put32(out, member.attributes);
    Put32(out, member.offset);
    return out + member.name;
}

std::string EndRecord(size_t entries, uint32_t directorySize, uint32_t directoryOffset)
{
    std::string out;
    Put32(out, kEndRecordSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint16_t>(entries));
    Put16(out, static_cast<uint16_t>(entries));
    Put32(out, directorySize);
    Put32(out, directoryOffset);
    Put16(out, 0);
    return out;
}

UnicodeString NameWithoutFolders(const UnicodeString& path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == UnicodeString::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> Deflated(const std::string& contents)
{
    std::string packed(contents.size() + contents.size() / 10 + 12, '\0');
    const std::optional<uint64_t> length = Compress(contents.data(), packed.data(), contents.size(), packed.size());
    if (!length)
        return std::nullopt;
    packed.resize(static_cast<size_t>(*length));
    return packed;
}

class TZipWriter {
public:
    explicit TZipWriter(IZipOutput& output) : output_(output) {}

    // False only when the archive cannot be written on.
    bool Add(const UnicodeString& storedName, const TZipSourceFile& file)
    {
        const std::optional<std::string> packed = Deflated(file.contents);
        if (!packed || packed->size() >= kZipLimit || file.contents.size() >= kZipLimit)
            return true; // left out, like a file that cannot be read
        if (members_.size() == kMaxEntries || position_ >= kZipLimit)
            return false;
        TStoredMember member{WideToUTF8(storedName),
                             file.dosTime,
                             file.dosDate,
                             ~UpdateCrc32(0xFFFFFFFF, file.contents.data(), static_cast<int64_t>(file.contents.size())),
                             static_cast<uint32_t>(packed->size()),
                             static_cast<uint32_t>(file.contents.size()),
                             file.attributes,
                             static_cast<uint32_t>(position_)};
        if (member.name.size() > 0xFFFF)
            return true;
        if (!Write(LocalHeader(member)) || !Write(*packed))
            return false;
        members_.push_back(std::move(member));
        return true;
    }

    bool Finish()
    {
        if (members_.empty() || position_ >= kZipLimit)
            return false;
        const uint64_t directoryOffset = position_;
        for (const TStoredMember& member : members_) {
            if (!Write(CentralHeader(member)))
                return false;
        }
        const uint64_t directorySize = position_ - directoryOffset;
        if (directorySize >= kZipLimit)
            return false;
        return Write(EndRecord(members_.size(), static_cast<uint32_t>(directorySize),
                               static_cast<uint32_t>(directoryOffset)));
    }

private:
    bool Write(const std::string& bytes)
    {
        position_ += bytes.size();
        return output_.Write(bytes.data(), bytes.size());
    }

    IZipOutput& output_;
    std::vector<TStoredMember> members_;
    uint64_t position_ = 0;
};

bool WriteMembers(IZipFileSystem& files, IZipOutput& output, const TDAUnicodeString& fileNames,
                  const TDAUnicodeString& sendAsNames)
{
    TZipWriter writer(output);
    for (size_t index = 0; index < fileNames.size(); ++index) {
        const std::optional<TZipSourceFile> file = files.ReadWholeFile(fileNames[index]);
        if (!file)
            continue;
        const UnicodeString storedName =
            index < sendAsNames.size() ? sendAsNames[index] : NameWithoutFolders(fileNames[index]);
        if (!writer.Add(storedName, *file))
            return false;
    }
    return writer.Finish();
}

} // namespace

bool WriteZipArchive(IZipFileSystem& files, const UnicodeString& archiveName, const TDAUnicodeString& fileNames,
                     const TDAUnicodeString& sendAsNames)
{
    std::unique_ptr<IZipOutput> output = files.CreateArchive(archiveName);
    if (!output)
        return false;
    const bool membersWritten = WriteMembers(files, *output, fileNames, sendAsNames);
    const bool written = output->Close() && membersWritten;
    output.reset();
    if (!written)
        files.DeleteArchive(archiveName);
    return written;
}
