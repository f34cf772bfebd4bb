/* Iobrant: Tarvo digital I/O modules on any Conduvex link, for 32-bit Windows hosts.

   Iobrant loads Conduvex.dll (from the usual DLL search path) when it is loaded itself and
   reaches links only through it. A Tarvo object is created on a new link from a
   connection string (qCreateTarvo, qCreateTarvoEx) or on a link the host made with
   Conduvex (qCreateTarvoCI, qCreateTarvoCIEx), and is known by a handle until
   qReleaseTarvo or until Iobrant is unloaded.

   Every function uses the stdcall convention. Each one except DllInfo clears the last
   error on entry and leaves a code and a text there on failure. Iobrant keeps no error of
   its own: LastError, LastErrorText and SetLastError are Conduvex's, so a host sees one
   error whichever library failed (without Conduvex they give Q_ERR_LIBRARY_MISSING).

   Conventions:
   - Functions returning a code return 0 on success, else the code left in the last error.
     Functions returning a count give -1 on failure; creating functions give handle 0.
   - I/O and counter indexes are zero-based (index 0 = input, output or counter 1).
     Thermometers count from 0 as the module does. The PWM channel and the pulse-rate
     arguments are not indexes: they go to the module unchanged, as bytes (0 to 255).
   - An index outside the module's count gives Q_ERR_INDEX_OUT_OF_BAND before anything is
     sent. Until the module is identified (its first count, info, I/O read or refresh),
     outputs 0 to 126, counters 0 to 59 and thermometers 0 to 255 are accepted.
   - A NULL pointer where a result or a buffer length goes, or a byte argument outside 0 to
     255, gives Q_ERR_INVALID_PARAMETERS and sends nothing. A pointer that cannot be read
     or written where the function needs it gives Q_ERR_EXCEPTION with the fault's text
     ("Access violation at address ..."). The value pointer of a counter read that clears
     the counter, and qSndRcvVant97's acknowledge and length, are tried before anything
     is sent.
   - Booleans given back through pointers are 32-bit: -1 for true, 0 for false. Booleans
     passed in are true when nonzero.
   - I/O arrays (buffer, in/out count): one byte per I/O, 0 or 1, I/O 1 first. A NULL
     buffer only sets count to the module's number of I/O. A count below it gives
     Q_ERR_BUFFER_TOO_SMALL and stays as it was.
   - Data (buffer, in/out length): length becomes the data's length; a NULL buffer only
     asks for it; a shorter buffer gets Q_ERR_BUFFER_TOO_SMALL. No terminating zero.
   - qInfo's text (buffer, in/out length): a NULL buffer sets length to text length + 1; a
     buffer shorter than that gets Q_ERR_BUFFER_TOO_SMALL and length stays; otherwise the
     text and a zero are written and length becomes the text length.

   Notifications (qRegisterMsgNotifications, qRegisterCallBackNotifications) arrive on
   the thread that received the data: for a Tarvo object created with kind 0 (or by
   qCreateTarvo, qCreateTarvoCI), the thread that created it, while it processes messages;
   for kind 1, the thread on which Conduvex reports the link's data. The callback comes
   first, then the window message (sent; wParam the handle, lParam kind + data * 65536).
   One change gives one Q_NOTIFY_INPUT_CHANGED (or _OUTPUT_) per changed I/O in position
   order, then one Q_NOTIFY_INPUTS_CHANGED (_OUTPUTS_). Change notifications are delivered
   with no lock of Iobrant held, so a handler may call any function of this header.

   Each function also has a pointer type PFN_<name> for hosts that load Iobrant with
   LoadLibrary and GetProcAddress. The functions Iobrant forwards to Conduvex share their
   names with Conduvex's exports; they are offered only that way, as PFN_Iobrant<name>. */
#ifndef IOBRANT_H
#define IOBRANT_H

#include <stdint.h>
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define Q_CALL __stdcall

/* Declares a function and its pointer type. */
#define Q_FUNCTION(result, name, parameters) \
    result Q_CALL name parameters;            \
    typedef result(Q_CALL* PFN_##name) parameters;

typedef uint32_t Q_HANDLE; /* 0 = no handle */
typedef int32_t Q_BOOL;
#define Q_TRUE (-1)
#define Q_FALSE 0

/* Result codes (0 = success); the same values as Conduvex's. */
#define Q_OK 0u
#define Q_ERR_EXCEPTION 0x20000002u
#define Q_ERR_BUFFER_TOO_SMALL 0x20000004u
#define Q_ERR_INVALID_HANDLE 0x20000005u
#define Q_ERR_INDEX_OUT_OF_BAND 0x20000007u
#define Q_ERR_DATA_NOT_AVAILABLE 0x20000008u
#define Q_ERR_INVALID_PARAMETERS 0x20000009u
#define Q_ERR_NO_RESPONSE 0x20000011u
#define Q_ERR_ACTION_FAILED 0x20000014u
#define Q_ERR_LIBRARY_MISSING 0x20000015u
#define Q_ERR_CRITICAL 0x20000016u

/* Notification kinds of a Tarvo handle. The two single-I/O kinds carry the I/O position
   (0 = I/O 1) in the low byte and new state * 2 + old state in the high byte; the others
   carry 0. */
#define Q_NOTIFY_INPUTS_CHANGED 512
#define Q_NOTIFY_OUTPUTS_CHANGED 513
#define Q_NOTIFY_INPUT_CHANGED 514
#define Q_NOTIFY_OUTPUT_CHANGED 515
#define Q_NOTIFY_LINK_OPENED 516
#define Q_NOTIFY_LINK_CLOSED 517

/* How a Tarvo object listens to its link (the kind of qCreateTarvoEx, qCreateTarvoCIEx). */
#define Q_KIND_MESSAGE 0  /* hidden window of the creating thread, which must pump */
#define Q_KIND_CALLBACK 1 /* Conduvex callback */

/* Only the low 16 bits of kind and data are defined. */
typedef void(Q_CALL* Q_NOTIFY_CALLBACK)(Q_HANDLE handle, uint32_t kind, uint32_t data, uint32_t userData);

/* Creation and release (ordinals 11, 12, 42, 47, 48).
   parameters: a connection string of the module's settings, or NULL: ADDR (the module's
   address, default 254, which any module answers) and AUTO_NOTIFY (when present, written
   to the module at once: nonzero makes it send a message on every change of its inputs).
   A failing AUTO_NOTIFY leaves Q_ERR_ACTION_FAILED in the last error but the handle
   stands. The link of qCreateTarvo and qCreateTarvoEx is Conduvex's (ciCreate): open it
   with qOpen (or ACTIVE=1 in the connection string); it is released with the Tarvo
   object. The CI forms fail with Q_ERR_INVALID_HANDLE for a handle Conduvex does not
   know; the host keeps that link. */
Q_FUNCTION(Q_HANDLE, qCreateTarvo, (const char* connectionString, const char* parameters)) /* 47 */
Q_FUNCTION(Q_HANDLE, qCreateTarvoEx,
           (const char* connectionString, const char* parameters, int32_t kind)) /* 11 */
Q_FUNCTION(Q_HANDLE, qCreateTarvoCI, (uint32_t conduvexHandle, const char* parameters)) /* 48 */
Q_FUNCTION(Q_HANDLE, qCreateTarvoCIEx,
           (uint32_t conduvexHandle, const char* parameters, int32_t kind)) /* 12 */
Q_FUNCTION(uint32_t, qReleaseTarvo, (Q_HANDLE handle)) /* 42 */
/* The Conduvex handle of the object's link; 0 for an unknown handle. */
Q_FUNCTION(uint32_t, qGetTarvoCIHandle, (Q_HANDLE handle)) /* 46 */

/* The link (ordinals 43 to 45); Conduvex's failure comes as Q_ERR_EXCEPTION with its
   text. */
Q_FUNCTION(uint32_t, qOpen, (Q_HANDLE handle)) /* 45 */
Q_FUNCTION(uint32_t, qClose, (Q_HANDLE handle)) /* 44 */
Q_FUNCTION(uint32_t, qIsOpened, (Q_HANDLE handle, Q_BOOL* active)) /* 43 */

/* Inputs and outputs. The reads identify the module first (failure:
   Q_ERR_DATA_NOT_AVAILABLE); no answer gives Q_ERR_NO_RESPONSE. */
Q_FUNCTION(uint32_t, qGetInputs, (Q_HANDLE handle, uint8_t* buffer, int32_t* count))  /* 35 */
Q_FUNCTION(uint32_t, qGetOutputs, (Q_HANDLE handle, uint8_t* buffer, int32_t* count)) /* 34 */
Q_FUNCTION(uint32_t, qInputStateByIndex, (Q_HANDLE handle, int32_t index, Q_BOOL* state))  /* 38 */
Q_FUNCTION(uint32_t, qOutputStateByIndex, (Q_HANDLE handle, int32_t index, Q_BOOL* state)) /* 37 */
/* The counts, or -1 (Q_ERR_DATA_NOT_AVAILABLE when the module cannot be identified). */
Q_FUNCTION(int32_t, qInputsCount, (Q_HANDLE handle))  /* 41 */
Q_FUNCTION(int32_t, qOutputsCount, (Q_HANDLE handle)) /* 40 */
/* Every output from the first `count` bytes (nonzero = on); count below the module's
   outputs: Q_ERR_BUFFER_TOO_SMALL; a module without outputs: Q_ERR_DATA_NOT_AVAILABLE.
   On success the states are written back as 0 or 1. */
Q_FUNCTION(uint32_t, qSetOutputs, (Q_HANDLE handle, uint8_t* states, int32_t count)) /* 31 */
/* Failure: Q_ERR_ACTION_FAILED. */
Q_FUNCTION(uint32_t, qSetOutput, (Q_HANDLE handle, int32_t index, int32_t state)) /* 33 */
/* The output takes the state for `time` units of the module (0 to 255; 0 = for good). */
Q_FUNCTION(uint32_t, qSetOutputTimered,
           (Q_HANDLE handle, int32_t index, int32_t state, int32_t time)) /* 32 */

/* The last known states, with no traffic: the module's reads, its automatic messages and
   confirmed writes keep them. One still unknown gives Q_ERR_DATA_NOT_AVAILABLE. */
Q_FUNCTION(uint32_t, qGetRecentInputsState, (Q_HANDLE handle, uint8_t* buffer, int32_t* count))  /* 30 */
Q_FUNCTION(uint32_t, qGetRecentOutputsState, (Q_HANDLE handle, uint8_t* buffer, int32_t* count)) /* 29 */
Q_FUNCTION(uint32_t, qGetRecentInputByIndex, (Q_HANDLE handle, int32_t index, Q_BOOL* state))  /* 28 */
Q_FUNCTION(uint32_t, qGetRecentOutputByIndex, (Q_HANDLE handle, int32_t index, Q_BOOL* state)) /* 27 */
Q_FUNCTION(uint32_t, qGetRecentInputCounterByIndex,
           (Q_HANDLE handle, int32_t index, uint32_t* value)) /* 26 */
Q_FUNCTION(uint32_t, qGetRecentCounterSettingByIndex,
           (Q_HANDLE handle, int32_t index, Q_BOOL* optionA, Q_BOOL* optionB)) /* 24 */
/* Reads the parts asked for (nonzero) into the recent states; failure:
   Q_ERR_ACTION_FAILED. */
Q_FUNCTION(uint32_t, qRefreshRecentStates,
           (Q_HANDLE handle, int32_t inputs, int32_t outputs, int32_t counters,
            int32_t counterSettings)) /* 25 */

/* Counters: one per input, at most 60; none on a module that refuses them. */
Q_FUNCTION(int32_t, qInputCountersCount, (Q_HANDLE handle)) /* 39 */
/* clear: the module zeroes the counter with the read. Failure: Q_ERR_DATA_NOT_AVAILABLE. */
Q_FUNCTION(uint32_t, qInputCounterValueByIndex,
           (Q_HANDLE handle, int32_t index, uint32_t* value, int32_t clear)) /* 36 */
Q_FUNCTION(uint32_t, qSetCounterSetting,
           (Q_HANDLE handle, int32_t index, int32_t optionA, int32_t optionB)) /* 20 */
Q_FUNCTION(uint32_t, qGetCounterSetting,
           (Q_HANDLE handle, int32_t index, Q_BOOL* optionA, Q_BOOL* optionB)) /* 21 */

/* Temperature in tenths of a degree (thermometer from 0). Failure:
   Q_ERR_DATA_NOT_AVAILABLE. */
Q_FUNCTION(uint32_t, qGetTemperature, (Q_HANDLE handle, int32_t thermometer, int32_t* tenths)) /* 4 */
/* PWM of channel a (the module's channel byte, not an index) set to b; failure
   Q_ERR_ACTION_FAILED. */
Q_FUNCTION(uint32_t, qSetOutputPWM, (Q_HANDLE handle, int32_t a, int32_t b)) /* 2 */
Q_FUNCTION(uint32_t, qGetOutputPWM, (Q_HANDLE handle, int32_t a, uint32_t* value)) /* 3 */
/* Pulses per second of the module's input byte a (b goes with it unchanged); 0 on failure
   (Q_ERR_DATA_NOT_AVAILABLE). */
Q_FUNCTION(uint32_t, qGetInputPPS, (Q_HANDLE handle, int32_t a, int32_t b, uint32_t* value)) /* 1 */

/* Automatic messages on every change of the inputs (on: nonzero). */
Q_FUNCTION(uint32_t, qSetAutoNotify, (Q_HANDLE handle, int32_t on)) /* 22 */
Q_FUNCTION(uint32_t, qGetAutoNotify, (Q_HANDLE handle, Q_BOOL* on)) /* 23 */

/* The module itself. */
/* The identification answer, e.g. "TARVO 8/8 ETH ;F97;V0573.26.01;T1". */
Q_FUNCTION(uint32_t, qInfo, (Q_HANDLE handle, char* buffer, int32_t* length)) /* 15 */
Q_FUNCTION(uint32_t, qReset, (Q_HANDLE handle))                              /* 14 */
Q_FUNCTION(uint32_t, qGetAddress, (Q_HANDLE handle, uint32_t* address))      /* 10 */
/* Writes the low byte of *address as the module's new address (and the object's). */
Q_FUNCTION(uint32_t, qSetAddress, (Q_HANDLE handle, const uint32_t* address)) /* 9 */
/* Up to 16 bytes; nothing is sent for NULL data or a length of 0 or less. */
Q_FUNCTION(uint32_t, qSetUserData, (Q_HANDLE handle, const uint8_t* data, int32_t length)) /* 7 */
Q_FUNCTION(uint32_t, qGetUserData, (Q_HANDLE handle, uint8_t* buffer, int32_t* length))    /* 8 */
Q_FUNCTION(uint32_t, qGetFactoryInfo,
           (Q_HANDLE handle, uint32_t* word1, uint32_t* word2, uint32_t* value3)) /* 6 */
/* Any Vantel 97 instruction (0 to 255) with its data; the answer's acknowledge byte and
   data, whatever the acknowledge. timeoutMs below 0: 1000 ms. */
Q_FUNCTION(uint32_t, qSndRcvVant97,
           (Q_HANDLE handle, int32_t instruction, const uint8_t* data, int32_t dataLength,
            uint8_t* acknowledge, uint8_t* buffer, int32_t* length, int32_t timeoutMs)) /* 5 */

/* Notifications (ordinals 16 to 19). Messages are always sent; the fourth argument of
   qRegisterMsgNotifications is not used. */
Q_FUNCTION(uint32_t, qRegisterMsgNotifications,
           (Q_HANDLE handle, HWND window, uint32_t message, int32_t unused)) /* 19 */
Q_FUNCTION(uint32_t, qUnregisterMsgNotifications, (Q_HANDLE handle))   /* 18 */
Q_FUNCTION(uint32_t, qRegisterCallBackNotifications,
           (Q_HANDLE handle, Q_NOTIFY_CALLBACK callback, uint32_t userData)) /* 17 */
Q_FUNCTION(uint32_t, qUnregisterCallBackNotifications, (Q_HANDLE handle)) /* 16 */

/* Handles (ordinals 49, 50). */
/* 0 with Q_ERR_INDEX_OUT_OF_BAND outside 0..count-1. */
Q_FUNCTION(Q_HANDLE, qHandleByIndex, (int32_t index)) /* 49 */
Q_FUNCTION(int32_t, qHandlesCount, (void))            /* 50 */

/* Ordinal 53: "Iobrant " and the version. A NULL buffer sets length to text length + 1
   and returns 0; a buffer of text length or less gets that length and
   Q_ERR_BUFFER_TOO_SMALL; otherwise the text and a zero, and length := text length. Does
   not clear the last error. */
Q_FUNCTION(uint32_t, DllInfo, (char* buffer, int32_t* length)) /* 53 */

/* Forwarded to Conduvex, exported under Conduvex's names (only as pointer types here). */
typedef uint32_t(Q_CALL* PFN_IobrantciGetConnectionStringDlg)(char* buffer, int32_t* length,
                                                              Q_BOOL* accepted, const char* initial,
                                                              const char* caption); /* 13 */
typedef uint32_t(Q_CALL* PFN_IobrantciHandleByIndex)(int32_t index);                /* 51 */
typedef int32_t(Q_CALL* PFN_IobrantciHandlesCount)(void);                           /* 52 */
typedef uint32_t(Q_CALL* PFN_IobrantSetLastError)(uint32_t code, const char* text); /* 54 */
typedef uint32_t(Q_CALL* PFN_IobrantLastErrorText)(char* buffer, int32_t* length);  /* 55 */
typedef uint32_t(Q_CALL* PFN_IobrantLastError)(void);                               /* 56 */

#undef Q_FUNCTION

#ifdef __cplusplus
}
#endif

#endif /* IOBRANT_H */
