#include "CallstackCrc.h"

#include "HexText.h"
#include "text/TextEdit.h"
#include "zip/Crc32.h"

void TCallstackCrc::Start(uint32_t firstItemCrc, uint32_t callStackCrc)
{
    values_ = {firstItemCrc, callStackCrc, callStackCrc};
}

void TCallstackCrc::Continue(uint32_t threadCallStackCrc)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(threadCallStackCrc), static_cast<uint8_t>(threadCallStackCrc >> 8),
                              static_cast<uint8_t>(threadCallStackCrc >> 16),
                              static_cast<uint8_t>(threadCallStackCrc >> 24)};
    values_[2] = UpdateCrc32(values_[2], bytes, sizeof bytes);
}

UnicodeString TCallstackCrc::Text() const
{
    return ConcatW({u"$", HexDigits(values_[0], 8), u", $", HexDigits(values_[1], 8), u", $", HexDigits(values_[2], 8)});
}
