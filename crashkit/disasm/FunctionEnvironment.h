#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CodeReader.h"

// Where code of the walked module may lie: [low, high).
struct TCodeBounds {
  CodeAddress low = 0;
  CodeAddress high = 0;

  bool Contains(CodeAddress address) const { return address >= low && address < high; }
};

// The runtime's exception routines that the walk knows by their address (0 = none).
struct TRuntimeRoutines {
  CodeAddress anyException = 0;
  CodeAddress onException = 0;
  CodeAddress autoException = 0;
  CodeAddress finally = 0;
  CodeAddress raise = 0;
  // Further routines that raise and never return (a runtime has several), sorted.
  std::vector<CodeAddress> raising{};

  bool Raises(CodeAddress target) const;
};

// What the function walk asks of the process that holds the code: a live process behind
// guarded reads, or a PE file in the tools and tests.
class IFunctionEnvironment {
 public:
  virtual ~IFunctionEnvironment() = default;
  virtual const ICodeReader& Code() const = 0;
  virtual bool IsCommitted(CodeAddress address) const = 0;
  virtual TCodeBounds CodeBounds(CodeAddress entry) const = 0;
  // _CxxThrowException of an already loaded msvcrt.dll; 0 when none.
  virtual CodeAddress CxxThrowRoutine() const = 0;
  // One-line text of a system error code.
  virtual std::string SystemMessage(std::uint32_t code) const = 0;
};

struct TModuleRange {
  CodeAddress start = 0;
  CodeAddress end = 0;  // exclusive
  std::string fileName;
};

// Names for the text of a function; every answer may be empty.
class ISymbolSource {
 public:
  virtual ~ISymbolSource() = default;
  // Export or debug-information name of an address.
  virtual std::string NameOf(CodeAddress address) const = 0;
  // The source line of an address; 0 when unknown.
  virtual std::uint32_t LineOf(CodeAddress address) const = 0;
  // The loaded module that holds an address.
  virtual std::optional<TModuleRange> ModuleOf(CodeAddress address) const = 0;
  // The name of an exception class of a handler table.
  virtual std::string ClassNameOf(CodeAddress classReference) const = 0;
};
