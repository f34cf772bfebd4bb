#pragma once
// A library kept mapped for the whole test program, loaded while the program starts and no
// other thread runs yet: tests then load and free it without the system mapping it again.
// Wine's loader can fault when it maps a library with thread-local storage while another
// thread of the process starts or ends, and tests leave threads ending at any time.
#include <string>

#include "LoadedModule.h"

class TPinnedLibrary : public TLoadedModule {
public:
    explicit TPinnedLibrary(const std::string& path) : TLoadedModule(LoadLibraryA(path.c_str())) {}
    // Nothing is pinned: for a process that tests loading and unloading itself.
    TPinnedLibrary() : TLoadedModule(HMODULE{nullptr}) {}

    bool Loaded() const { return Get() != nullptr; }
};
