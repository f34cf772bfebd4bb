#include "StackDumpText.h"

#include <algorithm>

#include "HexText.h"

namespace {

UnicodeString DumpLine(uint64_t address, std::span<const uint8_t> bytes)
{
    UnicodeString line = HexDigits(address, 8) + u"  ";
    UnicodeString characters;
    for (size_t i = 0; i < kStackDumpLineBytes; ++i) {
        if (i == kStackDumpLineBytes / 2)
            line += i < bytes.size() ? u"- " : u"  ";
        if (i < bytes.size()) {
            line += HexDigits(bytes[i], 2) + u" ";
            characters += (bytes[i] >= 32 && bytes[i] <= 126) ? static_cast<char16_t>(bytes[i]) : u'.';
        } else {
            line += u"   ";
        }
    }
    return line + u" " + characters;
}

} // namespace

UnicodeString StackDumpText(uint64_t start, std::span<const uint8_t> bytes)
{
    bytes = bytes.first(std::min(bytes.size(), kStackDumpMaxBytes));
    UnicodeString text;
    for (size_t offset = 0; offset < bytes.size(); offset += kStackDumpLineBytes) {
        if (!text.empty())
            text += u"\r\n";
        text += DumpLine(start + offset, bytes.subspan(offset, std::min(kStackDumpLineBytes, bytes.size() - offset)));
    }
    return text;
}
