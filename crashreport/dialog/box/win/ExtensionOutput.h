#pragma once
// Exceptions of a host that is a web-server extension: the report of a request that failed
// goes to its browser as the exception page, through the server's own callbacks. Each request
// runs the host's entry on a copy of the server's block whose support callback is ours, so
// that an answer's header is seen going out and no second one is sent.
#include <cstdint>

#include "dialog/box/win/ExtensionControlBlock.h"
#include "text/ZelTypes.h"

// The report of the request this thread serves: the exception handling stores the complete
// report here instead of showing anything, with the address of its exception.
struct TPendingExtensionReport {
    UnicodeString text;
    uintptr_t address = 0;
};
TPendingExtensionReport& PendingExtensionReport();

// The host's own request entry, which the wrapper calls; none until set.
void SetHostExtensionEntry(TExtensionEntry entry);

// Serves one request through the host's entry; the host's result.
DWORD WINAPI ExtensionProcWrapper(TExtensionControlBlock* block);

// The support callback of the copies: sends a pending report first, then passes the request on.
BOOL WINAPI SupportFunctionHook(TConnectionId connection, DWORD request, void* buffer, DWORD* size,
                                DWORD* dataType);

// Requests whose copies are still in use (pending sessions included).
size_t OpenExtensionConnections();
