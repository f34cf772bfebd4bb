#pragma once
// A system library loaded for one listing and its routines bound by name; freed at the end.
#include <windows.h>

class TBoundLibrary {
public:
    explicit TBoundLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
    ~TBoundLibrary()
    {
        if (module_)
            FreeLibrary(module_);
    }
    TBoundLibrary(const TBoundLibrary&) = delete;
    TBoundLibrary& operator=(const TBoundLibrary&) = delete;

    // Null when the library or the routine is missing.
    template <class Routine>
    Routine Bind(const char* name) const
    {
        return module_ ? reinterpret_cast<Routine>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

private:
    HMODULE module_;
};
