#pragma once
// The converter driver library "ftd2xx.dll", bound by name once when the library loads and
// reached only through these wrappers. An unbound function answers kFtNotBound; the driver
// counts as loaded only when every function was found. A fault inside the driver raises
// (FaultGuard.h).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ftd2xx {

using TFtStatus = uint32_t;
using TFtHandle = void*;

// Statuses the library acts on; kFtNotBound is the wrappers' own.
inline constexpr TFtStatus kFtOk = 0;
inline constexpr TFtStatus kFtInvalidHandle = 1;
inline constexpr TFtStatus kFtDeviceNotFound = 2;
inline constexpr TFtStatus kFtDeviceNotOpened = 3;
inline constexpr TFtStatus kFtIoError = 4;
inline constexpr TFtStatus kFtInsufficientResources = 5;
inline constexpr TFtStatus kFtInvalidParameter = 6;
inline constexpr TFtStatus kFtNotBound = 65535;

// FT_ListDevices: only the number of devices.
inline constexpr uint32_t kFtListNumberOnly = 0x80000000;
// FT_OpenEx: the argument is a serial number.
inline constexpr uint32_t kFtOpenBySerialNumber = 1;
// FT_Purge masks.
inline constexpr uint32_t kFtPurgeRx = 1;
inline constexpr uint32_t kFtPurgeTx = 2;
// FT_SetEventNotification: received characters and modem status changes.
inline constexpr uint32_t kFtEventRxChar = 1;
inline constexpr uint32_t kFtEventModemStatus = 2;

inline constexpr size_t kFtSerialNumberSize = 16;
inline constexpr size_t kFtDescriptionSize = 64;

// One entry of the driver's device list: 100 bytes on i686, 104 on x86_64 (the handle is
// pointer-sized and aligned).
struct TFtDeviceListNode {
    uint32_t flags;
    uint32_t type;
    uint32_t id; // vendor ID in the high 16 bits, product ID in the low 16
    uint32_t location;
    char serialNumber[kFtSerialNumberSize];
    char description[kFtDescriptionSize];
    TFtHandle handle;
};
static_assert(sizeof(TFtDeviceListNode) == (sizeof(void*) == 8 ? 104 : 100));

// Binds the library found under that name; what was bound before is let go first.
void LoadFtd2xx(const char* fileName = "ftd2xx.dll");
void UnloadFtd2xx();
bool Ftd2xxLoaded();
// Each function name that was not found, followed by a carriage return.
const std::string& MissingFtd2xxNames();

TFtStatus FT_Write(TFtHandle handle, const void* buffer, uint32_t length, uint32_t* written);
TFtStatus FT_Close(TFtHandle handle);
TFtStatus FT_Read(TFtHandle handle, void* buffer, uint32_t length, uint32_t* read);
TFtStatus FT_SetBaudRate(TFtHandle handle, uint32_t rate);
TFtStatus FT_SetDataCharacteristics(TFtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity);
TFtStatus FT_SetDtr(TFtHandle handle);
TFtStatus FT_ClrDtr(TFtHandle handle);
TFtStatus FT_SetRts(TFtHandle handle);
TFtStatus FT_ClrRts(TFtHandle handle);
TFtStatus FT_Purge(TFtHandle handle, uint32_t mask);
TFtStatus FT_GetQueueStatus(TFtHandle handle, uint32_t* waiting);
TFtStatus FT_ListDevices(void* argument1, void* argument2, uint32_t flags);
TFtStatus FT_OpenEx(void* argument, uint32_t flags, TFtHandle* handle);
TFtStatus FT_GetDeviceInfoList(TFtDeviceListNode* list, uint32_t* count);
TFtStatus FT_CreateDeviceInfoList(uint32_t* count);
TFtStatus FT_GetDeviceInfoDetail(uint32_t index, uint32_t* flags, uint32_t* type, uint32_t* id,
                                 uint32_t* location, char* serialNumber, char* description,
                                 TFtHandle* handle);
TFtStatus FT_SetEventNotification(TFtHandle handle, uint32_t mask, HANDLE event);
TFtStatus FT_EraseEE(TFtHandle handle);

// "<operation> - <what the status means>"; empty for statuses without a meaning.
std::string FtStatusText(const std::string& operation, TFtStatus status);
// The result code of a driver status: 0x20000064 + status; an unbound function gives
// 0x20000064 itself.
uint32_t FtStatusCode(TFtStatus status);
// Puts a failed step into the last error (nothing for kFtOk); returns the code set.
uint32_t FtStatusError(const std::string& operation, TFtStatus status);

// The number of attached devices; failures are put into the last error.
TFtStatus GetFTDeviceCount(uint32_t& count);
// The description of the device with that serial number; none when no device has it or
// the driver failed (the last error then says why).
std::optional<std::string> FindFTDescription(const std::string& serialNumber);

} // namespace ftd2xx
