#pragma once
// A library kept mapped for the whole test program, loaded while the program starts and no
// other thread runs yet: tests then load and free it without the system mapping it again.
// Wine's loader can fault when it maps a library with thread-local storage while another
// thread of the process starts or ends, and tests leave threads ending at any time.
#include <windows.h>

#include <string>

class TPinnedLibrary {
public:
    explicit TPinnedLibrary(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
    // Nothing is pinned: for a process that tests loading and unloading itself.
    TPinnedLibrary() : module_(nullptr) {}
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
