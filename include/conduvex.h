/* Conduvex: communication links (serial port, TCP, UDP, FTDI converter) behind integer
   handles, for 32-bit Windows hosts.

   Every function uses the stdcall convention, except GetSerialPortState (register
   convention, see there). Each one clears the library's last error on entry and leaves a
   code and a text there on failure (LastError, LastErrorText).

   Conventions:
   - Booleans given back through pointers are 32-bit: -1 for true, 0 for false. Booleans
     passed in are true when nonzero.
   - Text out (buffer, length): length holds the buffer's size on entry. A NULL buffer is a
     size query: length becomes text length + 1 (NUL included) and the result is 0. A buffer
     too small gets CI_ERR_BUFFER_TOO_SMALL and the needed length. On success the ci
     functions report the length without the NUL; LastErrorText reports it with the NUL.
   - A NULL length or out pointer gives CI_ERR_INVALID_PARAMETERS and changes nothing. A
     pointer that cannot be read or written where the function needs it gives
     CI_ERR_EXCEPTION with the fault's text, reported as a fault inside the library; what a
     read could not hand over stays in the link for the next read.

   Each function also has a pointer type PFN_<name> for hosts that load the library with
   LoadLibrary and GetProcAddress. The library's SetLastError (ordinal 48) shares its name
   with the system's, so it is only offered that way: PFN_ConduvexSetLastError. */
#ifndef CONDUVEX_H
#define CONDUVEX_H

#include <stdint.h>
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CI_CALL __stdcall

/* Declares a function and its pointer type. */
#define CI_FUNCTION(result, name, parameters) \
    result CI_CALL name parameters;            \
    typedef result(CI_CALL* PFN_##name) parameters;

typedef uint32_t CI_HANDLE; /* 0 = no handle */
typedef int32_t CI_BOOL;
#define CI_TRUE (-1)
#define CI_FALSE 0

/* Result codes (0 = success). */
#define CI_OK 0u
#define CI_ERR_UNDEFINED 0x20000001u
#define CI_ERR_EXCEPTION 0x20000002u
#define CI_ERR_API 0x20000003u
#define CI_ERR_BUFFER_TOO_SMALL 0x20000004u
#define CI_ERR_INVALID_HANDLE 0x20000005u
#define CI_ERR_BAD_CONNECTION_STRING 0x20000006u
#define CI_ERR_INDEX_OUT_OF_BAND 0x20000007u
#define CI_ERR_DATA_NOT_AVAILABLE 0x20000008u
#define CI_ERR_INVALID_PARAMETERS 0x20000009u
#define CI_ERR_DEVICE_NOT_AVAILABLE 0x20000010u
#define CI_ERR_NO_RESPONSE 0x20000011u
#define CI_ERR_CONNECTION_FAILURE 0x20000012u
#define CI_ERR_NOT_SUPPORTED 0x20000013u
#define CI_ERR_ACTION_FAILED 0x20000014u
#define CI_ERR_LIBRARY_MISSING 0x20000015u
#define CI_ERR_CRITICAL 0x20000016u
#define CI_ERR_NOT_OPENED 0x20000017u
#define CI_ERR_BAD_VANTEL_PACKET 0x20000018u
/* FTDI driver status s (1..6) is reported as CI_ERR_FTD_NOT_LOADED + s. */
#define CI_ERR_FTD_NOT_LOADED 0x20000064u
#define CI_ERR_FTD_INVALID_HANDLE 0x20000065u
#define CI_ERR_FTD_DEVICE_NOT_FOUND 0x20000066u
#define CI_ERR_FTD_DEVICE_NOT_OPENED 0x20000067u
#define CI_ERR_FTD_IO_ERROR 0x20000068u
#define CI_ERR_FTD_INSUFFICIENT_RESOURCES 0x20000069u
#define CI_ERR_FTD_INVALID_PARAMETER 0x2000006Au

/* Notification kinds of a link; the data is 0. A window message carries the handle in
   wParam and kind + data * 65536 in lParam. */
#define CI_NOTIFY_OPENED 256
#define CI_NOTIFY_CLOSED 257
#define CI_NOTIFY_DATA_RECEIVED 258
#define CI_NOTIFY_CONFIG_CHANGED 260

/* Called on the thread that noticed the event. Only the low 16 bits of kind and data are
   defined. */
typedef void(CI_CALL* CI_NOTIFY_CALLBACK)(CI_HANDLE handle, uint32_t kind, uint32_t data,
                                          uint32_t userData);

/* Links (ordinals 2 to 6, 19 to 23, 26 to 46).
   Exchanges (ciSndGet, ciSndGetVantel97, ciSndGetVant97) hold the link for their whole
   duration, drop what was pending, suspend the handle's notifications and leave the answer
   in the link's read-ahead buffer: take it with ciRead or ciReadVant97. answerLength gives
   its size (ciSndGetVantel97: the length of the frame it starts with, 0 when none). A
   closed link gives CI_ERR_NOT_OPENED. ciSndGet ends when the line stayed quiet for 10
   character times + 50 ms; the Vantel forms end as soon as a good frame arrived. */
/* Takes the frame at the start of the read-ahead buffer. A NULL data buffer asks for the
   data length (CI_ERR_BUFFER_TOO_SMALL while the frame has data); a buffer shorter than
   the data gets the frame's whole length and CI_ERR_BUFFER_TOO_SMALL. No complete frame,
   or a bad one (which is dropped), gives CI_ERR_BAD_VANTEL_PACKET. */
CI_FUNCTION(uint32_t, ciReadVant97,
            (CI_HANDLE handle, uint8_t* address, uint8_t* signature, uint8_t* instruction,
             uint8_t* data, int32_t* dataLength)) /* 2 */
CI_FUNCTION(uint32_t, ciSndGetVant97,
            (CI_HANDLE handle, uint8_t address, uint8_t signature, uint8_t instruction,
             const uint8_t* data, int32_t dataLength, int32_t* answerLength,
             uint32_t timeoutMs)) /* 3 */
CI_FUNCTION(uint32_t, ciSndGetVantel97,
            (CI_HANDLE handle, const uint8_t* request, int32_t requestLength,
             int32_t* answerLength, uint32_t timeoutMs)) /* 4 */
CI_FUNCTION(uint32_t, ciSndGet,
            (CI_HANDLE handle, const uint8_t* request, int32_t requestLength,
             int32_t* answerLength, uint32_t timeoutMs)) /* 5 */
CI_FUNCTION(uint32_t, ciClearReadBuffer, (CI_HANDLE handle)) /* 6 */
/* length must be positive (else CI_ERR_BUFFER_TOO_SMALL) and buffer given; accepted is
   CI_TRUE only for an accepted, non-empty text. A dialog that cannot be shown counts as
   cancelled: result 0, empty buffer. */
CI_FUNCTION(uint32_t, ciGetConnectionStringDlg,
            (char* buffer, int32_t* length, CI_BOOL* accepted, const char* initial,
             const char* caption)) /* 19 */
CI_FUNCTION(uint32_t, ciGetConfigValue,
            (CI_HANDLE handle, const char* key, char* buffer, int32_t* length)) /* 20 */
CI_FUNCTION(uint32_t, ciSetConfig, (CI_HANDLE handle, const char* connectionString)) /* 21 */
CI_FUNCTION(uint32_t, ciGetConfig, (CI_HANDLE handle, char* buffer, int32_t* length)) /* 22 */
CI_FUNCTION(uint32_t, ciGetProvider, (CI_HANDLE handle, char* buffer, int32_t* length)) /* 23 */
CI_FUNCTION(uint32_t, ciGetID, (CI_HANDLE handle, char* buffer, int32_t* length)) /* 26 */
CI_FUNCTION(uint32_t, ciGetDescription,
            (CI_HANDLE handle, char* buffer, int32_t* length)) /* 27 */
CI_FUNCTION(uint32_t, ciUnregisterCallBackNotifications, (CI_HANDLE handle)) /* 29 */
CI_FUNCTION(uint32_t, ciRegisterCallBackNotifications,
            (CI_HANDLE handle, CI_NOTIFY_CALLBACK callback, uint32_t userData)) /* 30 */
CI_FUNCTION(uint32_t, ciUnregisterMsgNotifications, (CI_HANDLE handle)) /* 31 */
/* A nonzero send flag delivers with SendMessageA, 0 with PostMessageA. */
CI_FUNCTION(uint32_t, ciRegisterMsgNotifications,
            (CI_HANDLE handle, HWND window, uint32_t message, CI_BOOL send)) /* 32 */
/* Bytes waiting, or -1. */
CI_FUNCTION(int32_t, ciReadLength, (CI_HANDLE handle)) /* 33 */
CI_FUNCTION(uint32_t, ciWrite, (CI_HANDLE handle, const uint8_t* buffer, int32_t length)) /* 34 */
/* length: the buffer's capacity on entry, the bytes taken on return. A negative length or a
   NULL buffer gives CI_ERR_INVALID_PARAMETERS and takes nothing. */
CI_FUNCTION(uint32_t, ciRead, (CI_HANDLE handle, uint8_t* buffer, int32_t* length)) /* 35 */
/* CI_TRUE or CI_FALSE, or a result code. */
CI_FUNCTION(int32_t, ciConfigDialogAvailable, (CI_HANDLE handle)) /* 36 */
CI_FUNCTION(int32_t, ciExecuteConfigDialog, (CI_HANDLE handle)) /* 37 */
CI_FUNCTION(uint32_t, ciSetValid, (CI_HANDLE handle, CI_BOOL valid)) /* 38 */
CI_FUNCTION(uint32_t, ciGetValid, (CI_HANDLE handle, CI_BOOL* valid)) /* 39 */
CI_FUNCTION(uint32_t, ciIsActive, (CI_HANDLE handle, CI_BOOL* active)) /* 40 */
CI_FUNCTION(uint32_t, ciRelease, (CI_HANDLE handle)) /* 41 */
CI_FUNCTION(uint32_t, ciClose, (CI_HANDLE handle)) /* 42 */
/* CI_ERR_CONNECTION_FAILURE when the link is still closed afterwards. */
CI_FUNCTION(uint32_t, ciOpen, (CI_HANDLE handle)) /* 43 */
/* The creating functions give 0 on failure. */
CI_FUNCTION(CI_HANDLE, ciCreateCB,
            (const char* connectionString, CI_NOTIFY_CALLBACK callback,
             uint32_t userData)) /* 44 */
CI_FUNCTION(CI_HANDLE, ciCreateM,
            (const char* connectionString, HWND window, uint32_t message,
             CI_BOOL send)) /* 45 */
CI_FUNCTION(CI_HANDLE, ciCreate, (const char* connectionString)) /* 46 */

/* Handles (ordinals 24, 25, 28). */
/* 0 with CI_ERR_INDEX_OUT_OF_BAND outside 0..count-1. */
CI_FUNCTION(CI_HANDLE, ciHandleByIndex, (int32_t index)) /* 24 */
/* Number of handles, or -1. */
CI_FUNCTION(int32_t, ciHandlesCount, (void)) /* 25 */
/* size is in bytes. A NULL buffer sets size to count * 4 and returns the count; a buffer
   too small does the same but returns -1 with CI_ERR_BUFFER_TOO_SMALL. */
CI_FUNCTION(int32_t, ciEnumHandles, (CI_HANDLE* buffer, int32_t* size)) /* 28 */

/* Last error and identity (ordinals 48 to 51). */
/* Ordinal 48, exported as "SetLastError": a NULL or empty text takes the code's own text.
   Returns the code. */
typedef uint32_t(CI_CALL* PFN_ConduvexSetLastError)(uint32_t code, const char* text);
/* Text out with the length counting the NUL; a buffer too small gets as much as fits. */
CI_FUNCTION(uint32_t, LastErrorText, (char* buffer, int32_t* length)) /* 49 */
CI_FUNCTION(uint32_t, LastError, (void)) /* 50 */
/* "Conduvex " and the version, by the text-out convention. */
CI_FUNCTION(uint32_t, Info, (char* buffer, int32_t* length)) /* 51 */

/* COM ports and FTDI devices (ordinals 7 to 18). The FTDI functions need the converter
   driver ftd2xx.dll, bound once when Conduvex loads; without it (or with one that lacks a
   function) they fail with CI_ERR_LIBRARY_MISSING, "Library ftd2xx.dll was not loaded.".
   A driver failure with status s (1..6) gives CI_ERR_FTD_NOT_LOADED + s. Vendor and
   product IDs are the high and the low 16 bits of a device's 32-bit ID. */
/* From start on, the first device for which every given (non-NULL) criterion holds: the
   serial number equal in any letter case, the description contained in the device's in
   any letter case, vendor and product ID equal. Keys of the connection string: INDEX (a
   device index; one outside the devices gives CI_ERR_EXCEPTION "FTD device index doesn't
   exists."), else SERIAL_NUMBER, DEVICE (part of the description), VID, PID. index is -1
   when nothing matches (the result is still 0). */
CI_FUNCTION(uint32_t, FTDFindDeviceCS,
            (int32_t start, const char* connectionString, int32_t* index)) /* 7 */
CI_FUNCTION(uint32_t, FTDFindDevice,
            (int32_t start, const char* serialNumber, const char* description,
             const uint32_t* vendorId, const uint32_t* productId, int32_t* index)) /* 8 */
CI_FUNCTION(uint32_t, FTDVidPidByIndex,
            (int32_t index, uint32_t* vendorId, uint32_t* productId)) /* 9 */
/* The description, resp. the serial number, by the text-out convention. */
CI_FUNCTION(uint32_t, FTDDevNameByIndex, (int32_t index, char* buffer, int32_t* length)) /* 10 */
CI_FUNCTION(uint32_t, FTDSerNumByIndex, (int32_t index, char* buffer, int32_t* length)) /* 11 */
/* Any pointer may be NULL. serialNumber needs room for 17 bytes, description for 65. A
   device without a serial number gives CI_ERR_DATA_NOT_AVAILABLE. */
CI_FUNCTION(uint32_t, FTDGetDetailByIndex,
            (int32_t index, uint32_t* flags, uint32_t* type, uint32_t* id, uint32_t* location,
             char* serialNumber, char* description)) /* 12 */
/* Number of attached devices, or -1. */
CI_FUNCTION(int32_t, FTDDeviceCount, (void)) /* 13 */
/* Ordinal 14. State of COM port n: 1 free, 0 exists but cannot be opened (in use), 2
   absent. Register convention: the argument in EAX, nothing on the stack; only
   GCC-compatible compilers can call it directly. */
#define CI_PORT_IN_USE 0
#define CI_PORT_FREE 1
#define CI_PORT_ABSENT 2
#if defined(__GNUC__)
#if defined(__i386__)
#define CI_REGISTER_CALL __attribute__((regparm(1)))
#else
/* x86_64 has one calling convention: the argument arrives in its first register. */
#define CI_REGISTER_CALL
#endif
uint8_t CI_REGISTER_CALL GetSerialPortState(int32_t port);
typedef uint8_t(CI_REGISTER_CALL * PFN_GetSerialPortState)(int32_t port);
#endif
/* "COM<n>" of the port at that index of the last enumeration, by the text-out convention;
   CI_ERR_INDEX_OUT_OF_BAND outside the list. */
CI_FUNCTION(uint32_t, SerialPortByIndex, (int32_t index, char* buffer, int32_t* length)) /* 15 */
/* Port number, or -1 with CI_ERR_INDEX_OUT_OF_BAND. */
CI_FUNCTION(int32_t, SerialPortNumByIndex, (int32_t index)) /* 16 */
/* Ports of the last enumeration; the first call enumerates. */
CI_FUNCTION(int32_t, SerialPortCount, (void)) /* 17 */
/* Probes COM1 to COM255 (each absent port costs one failed open) and lists, in order, the
   ports that exist. size is in bytes; as ciEnumHandles. */
CI_FUNCTION(int32_t, EnumSerialPorts, (int32_t* buffer, int32_t* size)) /* 18 */

#undef CI_FUNCTION

#ifdef __cplusplus
}
#endif

#endif /* CONDUVEX_H */
