#pragma once
// The published Blowfish cipher (64-bit blocks, 16 rounds) in the modes the crash library
// uses. Only whole 8-byte blocks are transformed; trailing bytes stay as they are.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Standard byte order reads each 32-bit half of a block first byte most significant; raw
// byte order reads them as little-endian dwords.
//
// A nonzero IV selects counter mode: its 8 bytes (the value's little-endian bytes) count as a
// big-endian counter that steps before each block; the cipher enciphers the counter block
// and the result is XORed onto the data, in both directions, so that deciphering undoes
// enciphering. False (and the data unchanged) for an empty key.
bool BlowfishCrypt(void* data, size_t length, bool encipher, bool raw, uint64_t iv, std::string_view key);

bool EncryptRaw(std::string& data, std::string_view key);
bool DecryptRaw(std::string& data, std::string_view key);
// Deciphers in standard byte order (counter mode when the IV is not 0) and removes trailing
// padding of n bytes of value n (1 to 8) when present.
bool DecryptStr(std::string& data, std::string_view key, uint64_t iv);
