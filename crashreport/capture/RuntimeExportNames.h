#pragma once
// The exports of the host runtime's packages that the capture looks up when the library lives
// in the main program or runs as a package: each routine with its package and mangled name.
#include <array>
#include <cstddef>
#include <cstdint>

enum class TRuntimeRoutine : uint8_t {
    AppHandleException,
    AppShowException,
    CrossAppHandleException,
    CrossAppShowException,
    ThirdAppHandleException,
    ThirdAppShowException,
    FreeMem,
    UtilityShowException,
    LoadPackage,
    InitializePackage,
    RaisingException,
    GetStackTrace,
    ExceptionDestructor,
    StrAlloc,
    CheckSynchronize,
    StartExe,
};

struct TRuntimeExportName {
    TRuntimeRoutine routine;
    const char* package; // base name; the file is base name + version + ".bpl"
    const char* name;
};

constexpr unsigned kRuntimePackageVersion = 70;
constexpr std::size_t kRuntimeRoutineCount = 16;

extern const std::array<TRuntimeExportName, kRuntimeRoutineCount> kRuntimeExportNames;
