#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The failure vocabulary shared by every export of both libraries.
// The codes jump from 0x20000009 to 0x20000010 on purpose: hosts compare
// against these exact values.
constexpr uint32_t kErrUndefined = 0x20000001;
constexpr uint32_t kErrException = 0x20000002;
constexpr uint32_t kErrApi = 0x20000003;
constexpr uint32_t kErrBufferTooSmall = 0x20000004;
constexpr uint32_t kErrInvalidHandle = 0x20000005;
constexpr uint32_t kErrBadConnectionString = 0x20000006;
constexpr uint32_t kErrIndexOutOfBand = 0x20000007;
constexpr uint32_t kErrDataNotAvailable = 0x20000008;
constexpr uint32_t kErrInvalidParameters = 0x20000009;
constexpr uint32_t kErrDeviceNotAvailable = 0x20000010;
constexpr uint32_t kErrNoResponse = 0x20000011;
constexpr uint32_t kErrConnectionFailure = 0x20000012;
constexpr uint32_t kErrNotSupported = 0x20000013;
constexpr uint32_t kErrActionFailed = 0x20000014;
constexpr uint32_t kErrLibraryMissing = 0x20000015;
constexpr uint32_t kErrCritical = 0x20000016;
constexpr uint32_t kErrNotOpened = 0x20000017;
constexpr uint32_t kErrBadVantelPacket = 0x20000018;
// FTDI driver status s (1..6) is reported as kErrFtdNotLoaded + s.
constexpr uint32_t kErrFtdNotLoaded = 0x20000064;
constexpr uint32_t kErrFtdInvalidHandle = 0x20000065;
constexpr uint32_t kErrFtdDeviceNotFound = 0x20000066;
constexpr uint32_t kErrFtdDeviceNotOpened = 0x20000067;
constexpr uint32_t kErrFtdIoError = 0x20000068;
constexpr uint32_t kErrFtdInsufficientResources = 0x20000069;
constexpr uint32_t kErrFtdInvalidParameter = 0x2000006A;

struct TResultCodeEntry {
  uint32_t code;
  std::string_view text;
};

// Texts are part of the public behaviour (hosts display and compare them),
// so they stay exactly as released, spelling included.
inline constexpr std::array<TResultCodeEntry, 25> kResultCodeTable{{
    {kErrUndefined, "Undefined error."},
    {kErrException, "Exception raised."},
    {kErrApi, "API Error."},
    {kErrBufferTooSmall, "Need more buffer size."},
    {kErrInvalidHandle, "Invalid handle."},
    {kErrBadConnectionString, "Bad parameters in connection string."},
    {kErrIndexOutOfBand, "Index out of band."},
    {kErrDataNotAvailable, "Required data not available."},
    {kErrInvalidParameters, "Invalid parameters."},
    {kErrDeviceNotAvailable, "Device is not available."},
    {kErrNoResponse, "No response from device."},
    {kErrConnectionFailure, "Connection failure."},
    {kErrNotSupported, "Not supported."},
    {kErrActionFailed, "Action not successfull."},
    {kErrLibraryMissing, "Required dynamic library missing."},
    {kErrCritical, "Undefined critical error."},
    {kErrNotOpened, "Connection is not opened."},
    {kErrBadVantelPacket, "Bad vantel packet."},
    {kErrFtdNotLoaded, "FTD Dll was not correctly loaded."},
    {kErrFtdInvalidHandle, "FTD error - Invalid handle."},
    {kErrFtdDeviceNotFound, "FTD error - Device not found."},
    {kErrFtdDeviceNotOpened, "FTD error - Device not opened."},
    {kErrFtdIoError, "FTD error - IO Error."},
    {kErrFtdInsufficientResources, "FTD error - Insufficient resources."},
    {kErrFtdInvalidParameter, "FTD error - Invalid parameter."},
}};

// The table's text for a code; empty for a code the table lacks.
std::string_view ResultCodeText(uint32_t code);
