#pragma once
// The contents of a form resource: the form's properties and its items, each with the
// properties it was given, all as text. Reading is bounded by the resource: it stops at an
// unknown type byte or at a length that runs past the end, keeping what was read before.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

enum class TNVItemKind : uint8_t { Button, Label, Edit, CheckBox, Image };

struct TFormProperty {
    UnicodeString name;
    UnicodeString value;
};
using TFormProperties = std::vector<TFormProperty>;

struct TItemSource {
    TNVItemKind kind = TNVItemKind::Label;
    UnicodeString name;
    TFormProperties properties;
};

enum class TFormSourceEnd : uint8_t { Complete, NoSignature, BadType, Overrun };

struct TFormSource {
    UnicodeString name; // the form object's name
    TFormProperties properties;
    std::vector<TItemSource> items;
    TFormSourceEnd end = TFormSourceEnd::Complete;
    uint8_t badType = 0; // with TFormSourceEnd::BadType
};

// Turns the ANSI texts of a resource into UTF-16 (the system code page on Windows).
using TAnsiDecoder = UnicodeString (*)(std::string_view ansi);

// Without a decoder, ANSI bytes are taken as Latin-1.
TFormSource ParseFormSource(std::span<const uint8_t> resource, TAnsiDecoder decodeAnsi = nullptr);

// "INVButton", "TNVEdit", ...: any first letter, then the item class; nothing for others.
std::optional<TNVItemKind> ItemKindOfClass(std::string_view className);

// What the user is told about a resource with an unknown type byte.
UnicodeString BadResourceMessage(uint8_t type);
