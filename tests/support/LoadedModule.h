#pragma once
// A module loaded for one test and freed with its holder.
#include <windows.h>

class TLoadedModule {
public:
    explicit TLoadedModule(HMODULE module) : module_(module) {}
    explicit TLoadedModule(const wchar_t* name) : module_(LoadLibraryW(name)) {}
    ~TLoadedModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    TLoadedModule(const TLoadedModule&) = delete;
    TLoadedModule& operator=(const TLoadedModule&) = delete;

    HMODULE Get() const { return module_; }
    template <class Function>
    Function Export(const char* name) const
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};
