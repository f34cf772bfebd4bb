#pragma once
// The process-wide last error every export reports through: a code (0 = none) and a
// text. No lock: a host calling from several threads sees whichever call set it last.
#include <cstdint>
#include <exception>
#include <string>

// Code 0 and an empty text; returns 0.
uint32_t ClearError();
// An empty text takes the result-code table's text for the code (empty for codes the
// table lacks). Returns the code.
uint32_t SetError(uint32_t code, const std::string& text = {});
// A caught exception becomes its own code (library errors) or "exception raised" with its
// message; nil clears the error. Returns the code now set.
uint32_t SetExceptionError(std::exception_ptr caught);

uint32_t LastErrorCode();
const std::string& LastErrorMessage();
