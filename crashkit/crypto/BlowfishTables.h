#pragma once
#include <array>
#include <cstdint>

extern const std::array<uint32_t, 18> kBlowfishInitialP;
extern const std::array<std::array<uint32_t, 256>, 4> kBlowfishInitialS;
