#include "debuginfo/OwnDebugInfo.h"

#include <array>

#include "crypto/Blowfish.h"
#include "debuginfo/MiniStream.h"
#include "text/NumberFormat.h"
#include "text/Utf.h"
#include "zip/CompressedString.h"

namespace {

constexpr std::string_view kMarker = "ZELDEBUGINFO";
constexpr uint32_t kReducedFlag = 1;

UnicodeString NumberedName(std::u16string_view prefix, uint32_t index)
{
    return UnicodeString(prefix) + UTF8ToWide(std::to_string(index));
}

// Each entry takes at least this many bytes, so a count above remaining / size is damage.
bool PlausibleCount(const TMiniStream& stream, uint32_t count, size_t entrySize)
{
    return count <= stream.Remaining() / entrySize;
}

bool ReadName(TMiniStream& stream, bool reduced, std::u16string_view prefix, uint32_t index, UnicodeString& name)
{
    if (reduced) {
        uint8_t flag = 0;
        name = NumberedName(prefix, index);
        return stream.ReadByte(flag);
    }
    std::string text;
    if (!stream.ReadShortString(text))
        return false;
    name = UTF8ToWide(text);
    return true;
}

bool ReadSegments(TMiniStream& stream, bool reduced, TMapFile& map)
{
    uint32_t count = 0;
    if (!stream.ReadUInt32(count) || !PlausibleCount(stream, count, 9))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t start = 0;
        uint32_t length = 0;
        UnicodeString unit;
        if (!stream.ReadUInt32(start) || !stream.ReadUInt32(length) || !ReadName(stream, reduced, u"segment%", i, unit))
            return false;
        map.AddSegment(true, start, length, unit, true, false);
    }
    map.SortSegments();
    return true;
}

bool ReadPublics(TMiniStream& stream, bool reduced, TMapFile& map)
{
    uint32_t count = 0;
    if (!stream.ReadUInt32(count) || !PlausibleCount(stream, count, 2))
        return false;
    uint32_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
        UnicodeString name;
        if (!ReadName(stream, reduced, u"public%", i, name))
            return false;
        int32_t delta = 0;
        if (i == 0 ? !stream.ReadUInt32(offset) : !stream.ReadCompact(delta))
            return false;
        offset += static_cast<uint32_t>(delta);
        map.AddPublic(true, map.Layout().codeStart + offset, name);
    }
    map.SortPublics();
    return true;
}

bool ReadLines(TMiniStream& stream, TMapFile& map)
{
    uint32_t count = 0;
    if (!stream.ReadUInt32(count) || !PlausibleCount(stream, count, 2))
        return false;
    uint32_t line = 0;
    uint32_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (i == 0) {
            if (!stream.ReadUInt32(line) || !stream.ReadUInt32(offset))
                return false;
        } else {
            int32_t lineDelta = 0;
            int32_t offsetDelta = 0;
            if (!stream.ReadCompact(lineDelta) || !stream.ReadCompact(offsetDelta))
                return false;
            line += static_cast<uint32_t>(lineDelta);
            offset += static_cast<uint32_t>(offsetDelta);
        }
        map.AddLine(static_cast<int32_t>(line), map.Layout().codeStart + offset, false);
    }
    map.SortLines();
    return true;
}

} // namespace

bool ReadOwnDebugInfoContent(std::string_view content, bool reduced, TMapFile& map)
{
    TMiniStream stream(content);
    if (!ReadSegments(stream, reduced, map) || !ReadPublics(stream, reduced, map) || !ReadLines(stream, map))
        return false;
    uint32_t entry = 0;
    if (stream.Remaining() == 4 && stream.ReadUInt32(entry)) {
        TModuleLayout layout = map.Layout();
        layout.entryPoint = layout.codeStart + entry;
        map.SetLayout(layout);
    }
    return true;
}

std::optional<TOwnDebugInfoHeader> ReadOwnDebugInfoHeader(std::string_view data)
{
    if (!data.starts_with(kMarker))
        return std::nullopt;
    TMiniStream stream(data.substr(kMarker.size()));
    TOwnDebugInfoHeader header;
    uint32_t flags = 0;
    uint32_t length = 0;
    if (!stream.ReadUInt32(header.version))
        return std::nullopt;
    if (header.version == 3) {
        if (!stream.ReadUInt32(header.stamp1) || !stream.ReadUInt32(header.stamp2) || !stream.ReadUInt32(flags))
            return std::nullopt;
    } else if (header.version != 2) {
        return std::nullopt;
    }
    if (!stream.ReadUInt32(length) || length > stream.Remaining())
        return std::nullopt;
    header.reduced = (flags & kReducedFlag) != 0;
    header.payload = data.substr(kMarker.size() + stream.Position(), length);
    return header;
}

AnsiString OwnDebugInfoStamp(std::string_view data, const TOwnDebugInfoHeader& header)
{
    return IntToHexStrA(static_cast<uint32_t>(data.size()), 8, '0') + ", " + IntToHexStrA(header.stamp1, 8, '0') + ", " +
           IntToHexStrA(header.stamp2, 8, '0');
}

std::string OwnDebugInfoKey(size_t payloadLength)
{
    // Put together here rather than stored as one text in the image.
    constexpr std::array<char, 7> kParts = {'z', 'e', 'l', 'D', 'b', 'g', '#'};
    return std::string(kParts.begin(), kParts.end()) + std::to_string(payloadLength);
}

bool LoadOwnDebugInfo(std::string_view data, TMapFile& map)
{
    const std::optional<TOwnDebugInfoHeader> header = ReadOwnDebugInfoHeader(data);
    if (!header || (!map.MinDebugInfo().empty() && map.MinDebugInfo() != OwnDebugInfoStamp(data, *header)))
        return false;
    return LoadOwnDebugInfoPayload(*header, map);
}

bool LoadOwnDebugInfoPayload(const TOwnDebugInfoHeader& header, TMapFile& map)
{
    std::string payload(header.payload);
    if (!BlowfishCrypt(payload.data(), payload.size(), false, false, 0, OwnDebugInfoKey(payload.size())))
        return false;
    const std::string content = UncompressStr(payload);
    // The packed string takes a shorter result than its header's length; here that is damage.
    uint32_t declaredLength = 0;
    TMiniStream(payload).ReadUInt32(declaredLength);
    if (content.empty() || content.size() != declaredLength || !ReadOwnDebugInfoContent(content, header.reduced, map)) {
        map.Clear();
        return false;
    }
    return true;
}
