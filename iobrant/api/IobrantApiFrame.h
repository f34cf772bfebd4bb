#pragma once
// The frame every q export runs in: clear the last error (Conduvex's, which Iobrant
// shares), look the handle up, do the work, and turn anything thrown into the last error,
// so that nothing reaches the host. Work reports a failure by returning Fail(code) or by
// throwing; an EConduvexError carries its own code, anything else becomes 0x20000002
// "Exception raised." with its message. Also the buffer rules and the index checks.
#include "ConduvexError.h"
#include "HostMemory.h"
#include "binding/ForwardedError.h"
#include "tarvo/ITarvo.h"
#include "api/TarvoHandles.h"

#include <cstdint>
#include <string>

constexpr int32_t kQTrue = -1;
constexpr int32_t kQFalse = 0;

// Sets the code with its table text and returns it.
uint32_t Fail(uint32_t code);
[[noreturn]] void RaiseCode(uint32_t code);
// Records the exception being handled as the last error; returns its code.
uint32_t ReportCaughtException() noexcept;

// A pointer the host must give: nil raises "Invalid parameters." before anything is sent.
// What it points at is reached only through HostMemory.h.
template <class T>
T* Required(T* pointer)
{
    if (!pointer)
        RaiseCode(kErrInvalidParameters);
    return pointer;
}

// An out-parameter the host must give, read and written back before the module is asked
// anything that cannot be asked again (a counter read that clears it, a raw instruction):
// a pointer the host cannot write fails the call while nothing is lost.
template <class T>
T* RequiredWritable(T* pointer)
{
    WriteHost(Required(pointer), ReadHost(pointer));
    return pointer;
}

// A value the module takes as one byte: outside 0..255 raises "Invalid parameters.".
uint8_t RequiredByte(int32_t value);
// The one-based number of a zero-based index below `count`; "Index out of band." else.
int NumberBelow(int32_t index, int count);
// The output (counter) number of an index, checked against the module's count once it is
// identified, else against what one command byte can carry (127 outputs, 60 counters).
int OutputNumber(ITarvo& tarvo, int32_t index);
int CounterNumber(ITarvo& tarvo, int32_t index);

// The Tarvo object of a handle; "Invalid handle." else.
TIntfPtr<ITarvo> RequireTarvo(uint32_t handle);

template <class Work>
uint32_t QCall(Work&& work) noexcept
{
    try {
        IobrantClearError();
        return work();
    } catch (...) {
        return ReportCaughtException();
    }
}

template <class Value, class Work>
Value QCallValue(Value failed, Work&& work) noexcept
{
    try {
        IobrantClearError();
        return work();
    } catch (...) {
        ReportCaughtException();
        return failed;
    }
}

// The work gets the Tarvo object (ITarvo&).
template <class Work>
uint32_t QCallTarvo(uint32_t handle, Work&& work) noexcept
{
    return QCall([&]() -> uint32_t {
        const TIntfPtr<ITarvo> tarvo = RequireTarvo(handle);
        return work(*tarvo);
    });
}

template <class Value, class Work>
Value QCallTarvoValue(uint32_t handle, Value failed, Work&& work) noexcept
{
    return QCallValue(failed, [&]() -> Value {
        const TIntfPtr<ITarvo> tarvo = RequireTarvo(handle);
        return work(*tarvo);
    });
}

// I/O arrays, in/out count: a nil buffer only gives the count; a count below the states'
// gives "Need more buffer size." and stays; else one byte per state (0 or 1), I/O 1 first,
// and count := the states'.
uint32_t PutStates(const TTarvoIOArray& states, uint8_t* buffer, int32_t* count);
// Data, in/out length: length := the data's; a nil buffer only gives it; a shorter buffer
// gets "Need more buffer size."; else the bytes, with no terminating zero.
uint32_t PutData(const std::string& data, uint8_t* buffer, int32_t* length);
// qInfo's text: a nil buffer gets length := text length + 1; a buffer shorter than that
// gets "Need more buffer size." and the length stays; else text and zero, length := text
// length.
uint32_t PutInfoText(const std::string& text, char* buffer, int32_t* length);
// DllInfo's text, as Conduvex's text exports give it: a nil buffer gets length := text
// length + 1 and 0; a buffer of text length or less gets the same length and "Need more
// buffer size."; else text and zero, length := text length.
uint32_t PutLibraryText(const std::string& text, char* buffer, int32_t* length);

// A 32-bit boolean through the host's pointer.
void PutBool(int32_t* out, bool value);
