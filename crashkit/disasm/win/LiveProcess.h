#pragma once

#include "FunctionEnvironment.h"
#include "GuardedRead.h"

// The running process as the disassembler sees it: code read through TryRead, optionally
// judged by a table of readable ranges. Code addresses are the low 4 GB of the process.
class TLiveCodeReader : public ICodeReader {
 public:
  explicit TLiveCodeReader(const TDATryRead* table = nullptr) : table_(table) {}
  bool Read(CodeAddress address, std::uint8_t* buffer, std::size_t count) const override;

 private:
  const TDATryRead* table_;
};

class TLiveProcess : public IFunctionEnvironment {
 public:
  explicit TLiveProcess(const TDATryRead* table = nullptr) : reader_(table) {}

  const ICodeReader& Code() const override { return reader_; }
  bool IsCommitted(CodeAddress address) const override;
  // The module's code by its headers; without headers the memory region.
  TCodeBounds CodeBounds(CodeAddress entry) const override;
  CodeAddress CxxThrowRoutine() const override;
  std::string SystemMessage(std::uint32_t code) const override;

 private:
  TLiveCodeReader reader_;
};
