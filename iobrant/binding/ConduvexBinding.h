#pragma once
// Iobrant's one road into Conduvex: the library loaded by name once per process, its
// exports looked up into a table, the reason of a failed binding kept, and thin wrappers
// that turn Conduvex's result codes into exceptions carrying Conduvex's last-error text.
#include "binding/ConduvexFunctions.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class TConduvexBinding {
public:
    static constexpr const char* kLibraryName = "Conduvex.dll";

    // `path` is what the system loader gets: the bare name for the process's binding, a
    // full path to bind a particular file.
    explicit TConduvexBinding(std::string path = kLibraryName);
    TConduvexBinding(const TConduvexBinding&) = delete;
    TConduvexBinding& operator=(const TConduvexBinding&) = delete;
    ~TConduvexBinding();

    // The one binding attempt; later calls only report its outcome.
    bool Bind();
    // Bind, raising the kept message when it failed.
    void EnsureBound();
    bool IsBound() const { return bound_; }
    // Why the attempt failed; empty after success or before any attempt.
    const std::string& KeptMessage() const { return keptMessage_; }
    // The bound table (EnsureBound first).
    const TConduvexFunctions& Functions();

    // Takes a table of functions as if a library had supplied them (test doubles).
    void Adopt(const TConduvexFunctions& functions);
    // Unloading: frees the library and clears the kept message. Later uses fail.
    void Unbind();
    // Process exit: forgets the library without freeing it (the loader unloads it anyway).
    void Abandon();

    // Raises Conduvex's last-error text when its last error is not 0.
    void RaiseConduvexError();
    std::string ConduvexLastErrorText();

    // Link wrappers; h is the Conduvex handle.
    bool Open(CI_HANDLE h);
    bool Close(CI_HANDLE h);
    bool IsActive(CI_HANDLE h);
    bool GetValid(CI_HANDLE h);
    void SetValid(CI_HANDLE h, bool valid);
    std::string Read(CI_HANDLE h);
    // True when Conduvex took the bytes; never raises.
    bool Write(CI_HANDLE h, const std::string& bytes);
    std::string GetDescription(CI_HANDLE h);
    std::string GetID(CI_HANDLE h);
    std::string GetProvider(CI_HANDLE h);

private:
    struct TLibraryRelease {
        void operator()(HMODULE module) const { FreeLibrary(module); }
    };
    using TLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, TLibraryRelease>;
    using TTextGetter = PFN_ciGetID;

    void MapConduvexFunction(const TConduvexExport& entry);
    bool StateResult(uint32_t code, CI_BOOL state);
    std::string TextOf(TTextGetter getter, CI_HANDLE h);

    std::string path_;
    bool tried_ = false;
    bool bound_ = false;
    TLibrary library_;
    std::string keptMessage_;
    TConduvexFunctions functions_;
};

// The process's binding of "Conduvex.dll", bound when Iobrant is loaded.
TConduvexBinding& ProcessConduvex();

// The question shown when the binding fails at load.
using TAskBox = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Unit initialisation: binds; on failure asks whether to end the application and, on Yes,
// posts WM_QUIT to the loading thread. Returns whether the binding stands.
bool BindOrOfferToTerminate(TConduvexBinding& binding, TAskBox ask = &MessageBoxA);
