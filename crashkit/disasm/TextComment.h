#pragma once

#include <optional>
#include <string>

#include "CodeReader.h"

// Up to this many bytes of a possible text are read.
constexpr unsigned kTextCommentLength = 100;

// The bytes at address when they read like text (letters, digits and blanks well ahead of
// punctuation and other bytes); nothing otherwise.
std::optional<std::string> TextAt(const ICodeReader& reader, CodeAddress address);
