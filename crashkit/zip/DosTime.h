#pragma once
// DOS date and time words of the zip format, from broken-down local time.
#include <cstdint>

struct TDosDateTime {
    uint16_t time;
    uint16_t date;
};

// Dates before 1980 (the format's first year) give 1980-01-01 00:00; after 2107, the last day.
TDosDateTime ToDosDateTime(int year, int month, int day, int hour, int minute, int second);
