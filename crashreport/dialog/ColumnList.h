#pragma once
// Column lists: captions separated by "|"; a leading "^" asks for an upper-case
// header, a leading blank (after that) for a right-aligned column.
#include <string_view>

#include "dialog/ViewTable.h"

TColumns ParseColumnList(std::u16string_view columnList);

// The caption as the header control shows it: upper case when asked, every "&" doubled so
// that it is not taken for a mnemonic.
UnicodeString HeaderCaption(const TViewColumn& column);
