#pragma once
// The identity of a Tarvo module, read from its identification answer (instruction 0xF3),
// e.g. "TARVO 8/8 ETH ;F97;V0573.26.01;T1": 8 inputs, 8 outputs, kind ETH, 1 thermometer.
#include "vantel/VantelInfo.h"

#include <cstdint>
#include <string>

struct TTarvoInfo {
    TVantelInfo device;
    // "ETH", "USB" or "RS" when the name carries one; empty otherwise.
    std::string connectionKind;
    int32_t inputs = -1;  // -1 until known
    int32_t outputs = -1; // -1 until known
    int32_t thermometers = 0;

    // True when the answer names a Tarvo module and its I/O counts were read. Counts that
    // do not read as whole numbers stay -1.
    bool Parse(const std::string& answer);
    // The profile of the first modules, whose answer carries no I/O counts: "Tarvo;" and
    // version 0573.26. True, with 8 inputs, 8 outputs and no thermometer, for such an
    // answer (Parse must have run on it).
    bool ApplyLegacyProfile(const std::string& answer);
};
