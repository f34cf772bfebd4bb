#pragma once
// Base64 of RFC 4648: standard alphabet, "=" padding.
#include <cstddef>
#include <string>
#include <string_view>

std::string EncodeBase64(const void* data, size_t length);
std::string EncodeBase64Str(std::string_view data);
// Empty for a text whose length is not a multiple of 4. Decoding ends at the first character
// outside the alphabet; a partial group gives only the bytes its characters fill completely.
std::string DecodeBase64(const char* text, size_t length);
std::string DecodeBase64Str(std::string_view text);
