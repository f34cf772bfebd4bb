#pragma once
// Iobrant keeps no last error of its own: it forwards to Conduvex's, so a host sees one
// error whichever library failed. Without a bound Conduvex every call reports
// 0x20000015 (required library missing) and changes nothing. None of these raise.
#include <cstdint>
#include <exception>
#include <string>

// Conduvex's last error code.
uint32_t IobrantLastError();
// Conduvex's LastErrorText with the same arguments and result.
uint32_t IobrantLastErrorText(char* buffer, int32_t* length);
// Conduvex's SetLastError; an empty text takes the code's own text. Returns the code set.
uint32_t IobrantSetLastError(uint32_t code, const std::string& text = {});
uint32_t IobrantClearError();
// A caught exception becomes 0x20000002 with its message; nil clears. Returns the code now
// in the last error.
uint32_t IobrantHandleException(std::exception_ptr caught);
