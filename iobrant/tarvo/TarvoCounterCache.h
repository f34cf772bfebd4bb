#pragma once
// The last known counter values and counter options of a module, each with a "known" flag.
#include "CriticalSection.h"

#include <cstdint>
#include <vector>

class TTarvoCounterCache {
public:
    // Growing marks only the new entries unknown.
    void Resize(int count);
    // Numbers count from 1; numbers outside the cache are ignored (setters) or false.
    void SetValue(int number, uint32_t value);
    void SetOptions(int number, bool optionA, bool optionB);
    bool Value(int number, uint32_t& value);
    bool Options(int number, bool& optionA, bool& optionB);

private:
    struct TCounterValueRec {
        uint32_t value = 0;
        bool valueKnown = false;
        bool optionA = false;
        bool optionB = false;
        bool optionsKnown = false;
    };

    TCounterValueRec* Entry(int number);

    TCriticalSection lock_;
    std::vector<TCounterValueRec> entries_;
};
