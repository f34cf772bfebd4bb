#pragma once
// The object check over this process's own memory.
#include <optional>
#include <string_view>

#include "engine/ObjectCheck.h"
#include "text/ZelTypes.h"

// The class of the object at the pointer; every read is guarded.
std::optional<TObjectClass> IsValidObject(const void* pointer, std::string_view ancestorName = {});

// "Unknown" for what is no valid object.
UnicodeString GetExceptionClassName(const void* object);
UnicodeString GetExceptionMessage(const void* object);
