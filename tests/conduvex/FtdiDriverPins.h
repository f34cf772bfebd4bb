#pragma once
// Both stand-in driver variants stay mapped for the whole test program, loaded while it
// starts and no other thread runs yet: tests then bind and let go of them without the
// system mapping a library again. Wine's loader can fault when it maps a library (and
// gives it its thread-local storage) while another thread is ending, and the tests of
// other links leave threads ending at any time.
#include "FtdiStandInFiles.h"

namespace ftdi_standin {

class TPinnedLibrary {
public:
    explicit TPinnedLibrary(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
    ~TPinnedLibrary()
    {
        if (module_)
            FreeLibrary(module_);
    }
    TPinnedLibrary(const TPinnedLibrary&) = delete;
    TPinnedLibrary& operator=(const TPinnedLibrary&) = delete;

    bool Loaded() const { return module_ != nullptr; }

private:
    HMODULE module_;
};

inline const TPinnedLibrary kPinnedStandIn(DriverPath("standin"));
inline const TPinnedLibrary kPinnedMissing(DriverPath("missing"));

} // namespace ftdi_standin
