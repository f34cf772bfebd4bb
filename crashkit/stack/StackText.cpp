#include "StackText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "text/CaseFolding.h"
#include "text/TextEdit.h"
#include "zip/Crc32.h"

namespace {

UnicodeString Ascii(const std::string& text)
{
    return UnicodeString(text.begin(), text.end());
}

UnicodeString Hex(uint32_t value)
{
    std::array<char, 9> digits{};
    std::snprintf(digits.data(), digits.size(), "%x", value);
    return Ascii(digits.data());
}

struct TColumns {
    UnicodeString relativeAddress, module, unit, line, relativeLine;
};

TColumns ColumnsOf(const TNamedStackItem& named, bool showRelativeLines)
{
    const TStackItem& item = named.item;
    TColumns columns;
    columns.relativeAddress = ConcatW({u"+", Hex(item.relativeAddress)});
    columns.module = item.moduleName;
    columns.unit = item.unitName;
    if (item.line > 0)
        columns.line = Ascii(std::to_string(item.line));
    if (showRelativeLines && item.line > 0)
        columns.relativeLine = ConcatW({u"+", Ascii(std::to_string(item.relativeLine))});
    else if (item.relativeLine > 0)
        columns.relativeLine = Ascii(std::to_string(item.relativeLine));
    return columns;
}

UnicodeString PadRight(const UnicodeString& text, size_t width)
{
    return text + UnicodeString(width > text.size() ? width - text.size() : 0, u' ');
}

UnicodeString PadLeft(const UnicodeString& text, size_t width)
{
    return UnicodeString(width > text.size() + 1 ? width - text.size() - 1 : 0, u' ') + text + u" ";
}

uint32_t UpdateText(uint32_t running, const UnicodeString& text)
{
    const UnicodeString lower = LowerCaseW(text);
    // UTF-16 little-endian bytes, the same on every host.
    std::string bytes;
    for (const char16_t unit : lower) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return UpdateCrc32(running, bytes.data(), static_cast<int64_t>(bytes.size()));
}

uint32_t ItemValue(const TNamedStackItem& named)
{
    const TStackItem& item = named.item;
    // Addresses above 4 GB (x86_64) count by their low 32 bits.
    if (named.functionStart == 0 || item.moduleName.empty() || item.functionName.empty())
        return static_cast<uint32_t>(item.address);
    uint32_t value = UpdateText(static_cast<uint32_t>(item.address - named.functionStart), item.moduleName);
    if (!item.unitName.empty())
        value = UpdateText(value, item.unitName);
    return UpdateText(value, item.functionName);
}

} // namespace

UnicodeString HexAddress(uint64_t address)
{
    std::array<char, 17> digits{};
    std::snprintf(digits.data(), digits.size(), "%08llx", static_cast<unsigned long long>(address));
    return Ascii(digits.data());
}

UnicodeString ComposeStackText(const std::vector<TNamedStackItem>& items, bool showRelativeAddresses,
                               bool showRelativeLines)
{
    std::vector<TColumns> columns;
    size_t relativeWidth = 0, moduleWidth = 0, unitWidth = 0, lineWidth = 0, relativeLineWidth = 0;
    for (const TNamedStackItem& named : items) {
        columns.push_back(ColumnsOf(named, showRelativeLines));
        const TColumns& c = columns.back();
        relativeWidth = std::max(relativeWidth, c.relativeAddress.size() + 1);
        moduleWidth = std::max(moduleWidth, c.module.size() + 1);
        unitWidth = std::max(unitWidth, c.unit.size() + 1);
        lineWidth = std::max(lineWidth, c.line.size() + 1);
        relativeLineWidth = std::max(relativeLineWidth, c.relativeLine.size() + 1);
    }
    UnicodeString text;
    for (size_t i = 0; i < items.size(); ++i) {
        const TColumns& c = columns[i];
        if (i > 0)
            text += u"\r\n";
        text += HexAddress(items[i].item.address) + u" ";
        if (showRelativeAddresses)
            text += PadRight(c.relativeAddress, relativeWidth);
        text += PadRight(c.module, moduleWidth) + PadRight(c.unit, unitWidth) + PadLeft(c.line, lineWidth) +
                PadRight(c.relativeLine, relativeLineWidth) + items[i].item.functionName;
    }
    return text;
}

TCallStackCrcs CallStackCrcs(const std::vector<TNamedStackItem>& items)
{
    TCallStackCrcs crcs;
    for (size_t i = 0; i < items.size(); ++i) {
        const uint32_t value = ItemValue(items[i]);
        if (i == 0) {
            crcs.firstItem = crcs.callStack = value;
            continue;
        }
        const std::array<uint8_t, 4> bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        crcs.callStack = UpdateCrc32(crcs.callStack, bytes.data(), 4);
    }
    return crcs;
}
