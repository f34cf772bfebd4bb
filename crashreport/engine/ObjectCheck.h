#pragma once
// Whether a pointer leads to an object of the host's runtime: its first word points to a
// class record whose slots hold plausible values inside the module that holds the record.
// Pure memory reads through the reader; nothing is called on the object.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "system/MemoryReader.h"

// Finds the module whose image holds an address.
class IModuleLocator {
public:
    virtual ~IModuleLocator() = default;
    virtual std::optional<uint64_t> ModuleBaseOf(uint64_t address) const = 0;
};

struct TObjectClass {
    std::string className;
    bool newerLayout = false; // the class record matched the newer runtimes' layout
};

struct TObjectCheckTarget {
    const IMemoryReader& memory;
    const IModuleLocator& modules;
    unsigned pointerSize = sizeof(void*); // slots scale with it: 4 or 8 bytes
};

// The object's class when it passes; with an ancestor name, only when the class or one of its
// ancestors carries that name.
std::optional<TObjectClass> CheckObject(const TObjectCheckTarget& target, uint64_t pointer,
                                        std::string_view ancestorName = {});
