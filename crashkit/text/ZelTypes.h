#pragma once
// Growable arrays and text types shared by the crash library. The 8-bit texts hold raw bytes
// (code page 1252 for letters); the 16-bit ones hold UTF-16 on every platform.
#include <cstdint>
#include <string>
#include <vector>

using AnsiString = std::string;
using UnicodeString = std::u16string;

using TDASmallInt = std::vector<int16_t>;
using TDACardinal = std::vector<uint32_t>;
using TDAInteger = std::vector<int32_t>;
using TDANativeUInt = std::vector<uintptr_t>;
using TDAAnsiString = std::vector<AnsiString>;
using TDAUnicodeString = std::vector<UnicodeString>;
