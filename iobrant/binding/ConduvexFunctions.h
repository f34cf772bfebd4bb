#pragma once
// The Conduvex exports Iobrant calls, as one table of typed pointers. Iobrant never links
// against Conduvex: the table is filled by name when the library is bound.
#include <windows.h>

#include "conduvex.h"

#include <array>
#include <type_traits>

struct TConduvexFunctions {
    PFN_LastError LastError = nullptr;
    PFN_LastErrorText LastErrorText = nullptr;
    PFN_ConduvexSetLastError SetLastError = nullptr;
    PFN_ciCreate ciCreate = nullptr;
    PFN_ciCreateM ciCreateM = nullptr;
    PFN_ciCreateCB ciCreateCB = nullptr;
    PFN_ciOpen ciOpen = nullptr;
    PFN_ciClose ciClose = nullptr;
    PFN_ciRelease ciRelease = nullptr;
    PFN_ciIsActive ciIsActive = nullptr;
    PFN_ciRead ciRead = nullptr;
    PFN_ciWrite ciWrite = nullptr;
    PFN_ciReadLength ciReadLength = nullptr;
    PFN_ciClearReadBuffer ciClearReadBuffer = nullptr;
    PFN_ciSndGet ciSndGet = nullptr;
    PFN_ciSndGetVantel97 ciSndGetVantel97 = nullptr;
    PFN_ciSndGetVant97 ciSndGetVant97 = nullptr;
    PFN_ciReadVant97 ciReadVant97 = nullptr;
    PFN_ciRegisterMsgNotifications ciRegisterMsgNotifications = nullptr;
    PFN_ciUnregisterMsgNotifications ciUnregisterMsgNotifications = nullptr;
    PFN_ciRegisterCallBackNotifications ciRegisterCallBackNotifications = nullptr;
    PFN_ciUnregisterCallBackNotifications ciUnregisterCallBackNotifications = nullptr;
    PFN_ciEnumHandles ciEnumHandles = nullptr;
    PFN_ciHandlesCount ciHandlesCount = nullptr;
    PFN_ciHandleByIndex ciHandleByIndex = nullptr;
    PFN_ciGetDescription ciGetDescription = nullptr;
    PFN_ciGetID ciGetID = nullptr;
    PFN_ciGetProvider ciGetProvider = nullptr;
    PFN_ciGetValid ciGetValid = nullptr;
    PFN_ciSetValid ciSetValid = nullptr;
    PFN_ciExecuteConfigDialog ciExecuteConfigDialog = nullptr;
    PFN_ciConfigDialogAvailable ciConfigDialogAvailable = nullptr;
    PFN_ciGetConfig ciGetConfig = nullptr;
    PFN_ciSetConfig ciSetConfig = nullptr;
    PFN_ciGetConfigValue ciGetConfigValue = nullptr;
    PFN_ciGetConnectionStringDlg ciGetConnectionStringDlg = nullptr;
    PFN_EnumSerialPorts EnumSerialPorts = nullptr;
    PFN_SerialPortCount SerialPortCount = nullptr;
    PFN_SerialPortNumByIndex SerialPortNumByIndex = nullptr;
    PFN_SerialPortByIndex SerialPortByIndex = nullptr;
    PFN_GetSerialPortState GetSerialPortState = nullptr;
    PFN_FTDDeviceCount FTDDeviceCount = nullptr;
    PFN_FTDGetDetailByIndex FTDGetDetailByIndex = nullptr;
    PFN_FTDSerNumByIndex FTDSerNumByIndex = nullptr;
    PFN_FTDDevNameByIndex FTDDevNameByIndex = nullptr;
    PFN_FTDVidPidByIndex FTDVidPidByIndex = nullptr;
    PFN_FTDFindDevice FTDFindDevice = nullptr;
    PFN_FTDFindDeviceCS FTDFindDeviceCS = nullptr;
};

// One export to look up: its name and where its address goes.
struct TConduvexExport {
    const char* name;
    void (*store)(TConduvexFunctions& table, FARPROC address);
};

// The exports in lookup order; the first missing one is the one reported.
extern const std::array<TConduvexExport, 48> kConduvexExports;
