#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CodeReader.h"

// A 32-bit PE file laid out as the loader maps it, for the tools that decode files.
struct TPeFileSection {
  std::string name;
  CodeAddress address = 0;   // image base + virtual address
  std::uint32_t size = 0;    // bytes the file holds for it, at most its virtual size
  std::uint32_t characteristics = 0;
};

struct TPeImage {
  CodeAddress imageBase = 0;
  std::vector<std::uint8_t> mapped;  // SizeOfImage bytes from imageBase
  std::vector<TPeFileSection> sections;
  std::map<CodeAddress, std::string> exports;  // exported routines by address

  const TPeFileSection* FindSection(const std::string& name) const;
  std::span<const std::uint8_t> Bytes(const TPeFileSection& section) const;
};

// nullopt for anything that is not a well-formed 32-bit PE image.
std::optional<TPeImage> LoadPeImage(std::span<const std::uint8_t> file);
