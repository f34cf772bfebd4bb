#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "BufferCodeReader.h"
#include "FunctionEnvironment.h"

// Hand-made code at kCodeBase inside a module image [kImageBase, kImageEnd).
constexpr CodeAddress kImageBase = 0x400000;
constexpr CodeAddress kCodeBase = 0x401000;
constexpr CodeAddress kImageEnd = 0x410000;

class TFixtureProcess : public IFunctionEnvironment, public ISymbolSource {
 public:
  explicit TFixtureProcess(std::vector<std::uint8_t> code) : image_(kImageEnd - kImageBase, 0xCC), reader_(image_, kImageBase) {
    Place(kCodeBase, code);
  }

  void Place(CodeAddress at, const std::vector<std::uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), image_.begin() + (at - kImageBase));
  }
  void PlaceDword(CodeAddress at, std::uint32_t value) {
    Place(at, {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
  }
  void PlaceText(CodeAddress at, const std::string& text) {
    Place(at, std::vector<std::uint8_t>(text.begin(), text.end()));
    Place(at + static_cast<CodeAddress>(text.size()), {0});
  }

  std::map<CodeAddress, std::string> names;
  std::map<CodeAddress, std::uint32_t> lines;
  std::map<CodeAddress, std::string> classNames;
  CodeAddress throwRoutine = 0;
  TCodeBounds bounds{kCodeBase, kCodeBase + 0x2000};

  // IFunctionEnvironment
  const ICodeReader& Code() const override { return reader_; }
  bool IsCommitted(CodeAddress address) const override { return address >= kImageBase && address < kImageEnd; }
  TCodeBounds CodeBounds(CodeAddress) const override { return bounds; }
  CodeAddress CxxThrowRoutine() const override { return throwRoutine; }
  std::string SystemMessage(std::uint32_t code) const override {
    return code == 87 ? "The parameter is incorrect." : "?";
  }

  // ISymbolSource
  std::string NameOf(CodeAddress address) const override {
    const auto found = names.find(address);
    return found == names.end() ? std::string() : found->second;
  }
  std::uint32_t LineOf(CodeAddress address) const override {
    const auto found = lines.find(address);
    return found == lines.end() ? 0 : found->second;
  }
  std::optional<TModuleRange> ModuleOf(CodeAddress address) const override {
    if (address >= kImageBase && address < kImageEnd) return TModuleRange{kImageBase, kImageEnd, "Fixture.dll"};
    if (address >= 0x70000000 && address < 0x70100000) return TModuleRange{0x70000000, 0x70100000, "kernel32.dll"};
    return std::nullopt;
  }
  std::string ClassNameOf(CodeAddress classReference) const override {
    const auto found = classNames.find(classReference);
    return found == classNames.end() ? std::string() : found->second;
  }

 private:
  std::vector<std::uint8_t> image_;
  TBufferCodeReader reader_;
};
