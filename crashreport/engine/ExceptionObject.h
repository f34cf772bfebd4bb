#pragma once
// Class name and message of an exception object of the host's runtime, read through the
// object check; "Unknown" for anything that is no valid object.
#include <cstdint>

#include "engine/ObjectCheck.h"
#include "text/ZelTypes.h"

UnicodeString ExceptionClassName(const TObjectCheckTarget& target, uint64_t object);
// The message field of an exception class (8-bit text in the older layout, UTF-16 in the
// newer), the class name of any other object; without control characters but CR and LF,
// trimmed.
UnicodeString ExceptionMessage(const TObjectCheckTarget& target, uint64_t object);
