#pragma once

#include "BufferCodeReader.h"
#include "FunctionEnvironment.h"
#include "PeImage.h"

// A PE file as a process that holds only it: nothing outside the image is committed, and no
// runtime library is loaded.
class TImageEnvironment : public IFunctionEnvironment, public ISymbolSource {
 public:
  TImageEnvironment(const TPeImage& image, std::string fileName);

  const ICodeReader& Code() const override { return reader_; }
  bool IsCommitted(CodeAddress address) const override;
  TCodeBounds CodeBounds(CodeAddress entry) const override;
  CodeAddress CxxThrowRoutine() const override { return 0; }
  std::string SystemMessage(std::uint32_t code) const override;

  // Exported names only: a file brings no debug information here.
  std::string NameOf(CodeAddress address) const override;
  std::uint32_t LineOf(CodeAddress) const override { return 0; }
  std::optional<TModuleRange> ModuleOf(CodeAddress address) const override;
  std::string ClassNameOf(CodeAddress) const override { return {}; }

 private:
  const TPeImage& image_;
  TBufferCodeReader reader_;
  std::string fileName_;
};
