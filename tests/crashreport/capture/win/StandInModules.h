#pragma once
// Loads the stand-in modules that the build puts beside the test program.
#include <windows.h>

#include <string>

inline HMODULE LoadBesideProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path);
    full = full.substr(0, full.find_last_of(L"\\/") + 1) + fileName;
    return LoadLibraryW(full.c_str());
}

// A loaded module that goes with its holder.
class TLoadedModule {
public:
    explicit TLoadedModule(const wchar_t* fileName) : module_(LoadBesideProgram(fileName)) {}
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
