#pragma once
// The "call stack" view: thread sections whose stack lines carry unlabelled fixed-width
// columns. Each block of lines gets its own column breaks, and the view works out which
// column holds the relative address, module, unit, line, relative line and function.
#include <array>
#include <string_view>
#include <vector>

#include "dialog/SectionLayout.h"
#include "dialog/ViewTable.h"

enum class TStackRole { RelativeAddress, Module, Unit, Line, RelativeLine, Function };
constexpr size_t StackRoleCount = 6;

// Column of each role in one block (-1: the block lacks it); column 0 is the address.
using TStackRoles = std::array<int, StackRoleCount>;

// The roles of one block of stack lines.
TStackRoles FindStackRoles(const TSectionLayout& piece);

// Cuts before every ">> created" comment that directly follows a non-empty stack line; the
// line break in front of the cut belongs to neither part.
std::vector<std::u16string_view> SplitStackPieces(std::u16string_view text);

// Rows and captions of the whole text (thread titles as ">> " comment lines, sections
// separated by an empty line).
TViewTable BuildCallStackTable(std::u16string_view text);
