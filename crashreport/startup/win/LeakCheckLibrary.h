#pragma once
// The leak-check library, a module outside the library ("zelExcept32.dll"): found by name, in the
// library's own folder or in the folder the registry names; bound once per binder, and only when
// its API version is 2. It watches the allocations of the modules it is started for.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The memory routines the checker watches and calls.
struct TLeakMemoryManager {
    void*(__cdecl* allocate)(size_t size);
    void(__cdecl* release)(void* block);
    void*(__cdecl* reallocate)(void* block, size_t size);
};

class TLeakCheckLibrary {
public:
    // The places tried in order (none given: DefaultPlaces, found when first bound); an empty
    // one is skipped.
    explicit TLeakCheckLibrary(std::vector<std::wstring> places = {},
                               std::function<void(const wchar_t* text)> showError = ShowErrorBox);
    ~TLeakCheckLibrary();
    TLeakCheckLibrary(const TLeakCheckLibrary&) = delete;
    TLeakCheckLibrary& operator=(const TLeakCheckLibrary&) = delete;

    // Loads and binds on the first call; true when the library of version 2 is bound.
    bool Bind();
    // Starts leak checking for the module, then calibrates it with sample blocks.
    void StartLeakCheckingFor(HMODULE module);
    // Starts the buffer checks for the module; overrun: check the end of blocks (else the start).
    void StartDebugMmFor(HMODULE module, bool overrun);
    // A block of the library that must not count as a leak; true when the checker took it.
    bool HideLeak(void* block);
    // Unloads the checker's own state (at shutdown), when bound.
    void Unload();

    // By name, the library's own folder, the folder named in the registry.
    static std::vector<std::wstring> DefaultPlaces();
    static void ShowErrorBox(const wchar_t* text);

private:
    struct TApi;
    bool attempted_ = false;
    HMODULE module_ = nullptr;
    std::vector<std::wstring> places_;
    std::function<void(const wchar_t*)> showError_;
    std::unique_ptr<TApi> api_;
};

// The process's leak-check library.
TLeakCheckLibrary& LeakCheckLibrary();
