#pragma once
// Executable stubs that let a system callback reach an object: a call of the stub with the
// callback's arguments becomes a call of the target with a context value put in front of
// them. On i686 the stub works for stdcall callbacks of any arity (the target pops one more
// argument); on x86_64 for callbacks of up to four arguments. Stubs come from a pool, go
// back to it with their holder, and the pool's memory is released when the library unloads.
class TCallbackThunk {
public:
    TCallbackThunk() = default;
    ~TCallbackThunk();
    TCallbackThunk(TCallbackThunk&& other) noexcept : code_(other.code_) { other.code_ = nullptr; }
    TCallbackThunk& operator=(TCallbackThunk&& other) noexcept;
    TCallbackThunk(const TCallbackThunk&) = delete;
    TCallbackThunk& operator=(const TCallbackThunk&) = delete;

    // The stub to hand to the system; null when none could be made.
    void* Code() const { return code_; }

private:
    friend TCallbackThunk MakeCallbackThunk(void* context, const void* target);
    explicit TCallbackThunk(void* code) : code_(code) {}

    void* code_ = nullptr;
};

TCallbackThunk MakeCallbackThunk(void* context, const void* target);
