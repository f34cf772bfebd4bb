#pragma once
// The block a web server hands each request of an extension: the request's facts and the
// server's callbacks, laid out as the server writes it.
#include <windows.h>

using TConnectionId = void*;
using TGetServerVariable = BOOL(WINAPI*)(TConnectionId connection, char* name, void* buffer, DWORD* size);
using TWriteClient = BOOL(WINAPI*)(TConnectionId connection, void* buffer, DWORD* bytes, DWORD reserved);
using TReadClient = BOOL(WINAPI*)(TConnectionId connection, void* buffer, DWORD* size);
using TServerSupport = BOOL(WINAPI*)(TConnectionId connection, DWORD request, void* buffer, DWORD* size,
                                     DWORD* dataType);

struct TExtensionControlBlock {
    DWORD size;
    DWORD version;
    TConnectionId connection;
    DWORD httpStatus;
    char logData[80];
    char* method;
    char* queryString;
    char* pathInfo;
    char* pathTranslated;
    DWORD totalBytes;
    DWORD availableBytes;
    BYTE* data;
    char* contentType;
    TGetServerVariable getServerVariable;
    TWriteClient writeClient;
    TReadClient readClient;
    TServerSupport serverSupport;
};

// The extension's request entry; its result is one of the request states below.
using TExtensionEntry = DWORD(WINAPI*)(TExtensionControlBlock* block);

inline constexpr DWORD kExtensionSuccess = 1;
inline constexpr DWORD kExtensionPending = 3;
inline constexpr DWORD kExtensionError = 4;

// Requests of the server's support callback.
inline constexpr DWORD kSendResponseHeader = 3;
inline constexpr DWORD kDoneWithSession = 4;
inline constexpr DWORD kSendResponseHeaderEx = 1016;
