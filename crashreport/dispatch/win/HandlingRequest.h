#pragma once
// The request that a raising thread hands to the handling thread through its pipe: a fixed
// record (144 bytes on 32-bit Windows) whose pointers lead into copies owned by the request,
// so that a request left behind by its waiter (after WM_QUIT) still holds everything it needs.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "InterfacedObject.h"
#include "WinHandle.h"
#include "text/ZelTypes.h"

// An exception that was still current on the raising thread when this one was raised.
struct TRequestInner {
    UnicodeString className;
    UnicodeString message;
    bool external = false; // an operating-system exception
    uintptr_t address = 0;
};

// What the request owns: the raising thread and the handling thread each hold a reference.
class TRequestCopies final : public TMyInterfacedObject {
public:
    CONTEXT context{};
    bool hasContext = false;
    AnsiString message;
    // The exception's class first, then its ancestors.
    std::vector<UnicodeString> classChain;
    std::vector<TRequestInner> inner;
    // The completion event, duplicated for the handling thread.
    TWinHandle event;
    // The report for a caller that shows no dialog; read once the event is set.
    bool wantsResultText = false;
    UnicodeString resultText;
};

enum class TRequestKindCode : uint8_t { Exception = 0, Freeze = 1, RaiseNotification = 2 };

struct THandlingRequest {
    HANDLE event;                 // manual-reset; 0 in the stop request
    DWORD threadId;               // the raising thread
    uint8_t kind;                 // TRequestKindCode
    uint8_t reserved1[3];
    uintptr_t object;             // the host's exception object, or 0
    uintptr_t address;
    uint8_t continueAllowed;
    uint8_t reserved2[3];
    uintptr_t stackPointer;
    uintptr_t framePointer;
    const CONTEXT* context;       // into the copies, or null
    // In the place of a runtime's per-thread exception words: the copies, whose reference the
    // request carries through the pipe.
    TRequestCopies* copies;
    uint8_t runtimeData[80 - sizeof(TRequestCopies*)];
    UnicodeString* resultText;    // into the copies, or null
    uint8_t source;               // the capture point
    uint8_t reserved3[3];
    uintptr_t firstExtra;
    uintptr_t secondExtra;
    const char* messageText;      // into the copies, or null
    uint32_t messageLength;
    const std::vector<TRequestInner>* inner; // into the copies, or null
};

#if !defined(_WIN64)
static_assert(sizeof(THandlingRequest) == 144, "the request's record is 144 bytes");
#endif
