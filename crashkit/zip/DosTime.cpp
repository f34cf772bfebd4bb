#include "zip/DosTime.h"

TDosDateTime ToDosDateTime(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1980)
        return {0, (1 << 5) | 1};
    if (year > 2107)
        return {(23 << 11) | (59 << 5) | 29, static_cast<uint16_t>((127 << 9) | (12 << 5) | 31)};
    const auto time = static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
    const auto date = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
    return {time, date};
}
