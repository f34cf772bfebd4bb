#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "ResultCodes.h"

// Root of the library's exception tree. The code is what an export reports
// when it catches the exception; most failures are plain "exception raised".
class EConduvexError : public std::runtime_error {
 public:
  explicit EConduvexError(const std::string& message,
                          uint32_t code = kErrException)
      : std::runtime_error(message), code_(code) {}

  uint32_t Code() const noexcept { return code_; }

 private:
  uint32_t code_;
};
