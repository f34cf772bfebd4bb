#include "binding/ConduvexFunctions.h"

namespace {

// The address a lookup gives, as the pointer type of its slot. void (*)() is the one
// function type every other one converts through without a warning.
template <auto Slot>
void Store(TConduvexFunctions& table, FARPROC address)
{
    using Pointer = std::remove_reference_t<decltype(table.*Slot)>;
    table.*Slot = reinterpret_cast<Pointer>(reinterpret_cast<void (*)()>(address));
}

using F = TConduvexFunctions;

} // namespace

const std::array<TConduvexExport, 48> kConduvexExports{{
    {"ciCreate", &Store<&F::ciCreate>},
    {"ciCreateM", &Store<&F::ciCreateM>},
    {"ciCreateCB", &Store<&F::ciCreateCB>},
    {"ciOpen", &Store<&F::ciOpen>},
    {"ciClose", &Store<&F::ciClose>},
    {"ciRelease", &Store<&F::ciRelease>},
    {"ciIsActive", &Store<&F::ciIsActive>},
    {"ciRead", &Store<&F::ciRead>},
    {"ciWrite", &Store<&F::ciWrite>},
    {"ciReadLength", &Store<&F::ciReadLength>},
    {"ciRegisterMsgNotifications", &Store<&F::ciRegisterMsgNotifications>},
    {"ciUnregisterMsgNotifications", &Store<&F::ciUnregisterMsgNotifications>},
    {"ciRegisterCallBackNotifications", &Store<&F::ciRegisterCallBackNotifications>},
    {"ciUnregisterCallBackNotifications", &Store<&F::ciUnregisterCallBackNotifications>},
    {"ciEnumHandles", &Store<&F::ciEnumHandles>},
    {"ciGetDescription", &Store<&F::ciGetDescription>},
    {"ciGetID", &Store<&F::ciGetID>},
    {"ciGetValid", &Store<&F::ciGetValid>},
    {"ciSetValid", &Store<&F::ciSetValid>},
    {"ciExecuteConfigDialog", &Store<&F::ciExecuteConfigDialog>},
    {"ciConfigDialogAvailable", &Store<&F::ciConfigDialogAvailable>},
    {"ciHandlesCount", &Store<&F::ciHandlesCount>},
    {"ciHandleByIndex", &Store<&F::ciHandleByIndex>},
    {"ciGetProvider", &Store<&F::ciGetProvider>},
    {"LastError", &Store<&F::LastError>},
    {"LastErrorText", &Store<&F::LastErrorText>},
    {"SetLastError", &Store<&F::SetLastError>},
    {"EnumSerialPorts", &Store<&F::EnumSerialPorts>},
    {"SerialPortCount", &Store<&F::SerialPortCount>},
    {"SerialPortNumByIndex", &Store<&F::SerialPortNumByIndex>},
    {"SerialPortByIndex", &Store<&F::SerialPortByIndex>},
    {"GetSerialPortState", &Store<&F::GetSerialPortState>},
    {"FTDDeviceCount", &Store<&F::FTDDeviceCount>},
    {"FTDGetDetailByIndex", &Store<&F::FTDGetDetailByIndex>},
    {"FTDSerNumByIndex", &Store<&F::FTDSerNumByIndex>},
    {"FTDDevNameByIndex", &Store<&F::FTDDevNameByIndex>},
    {"FTDVidPidByIndex", &Store<&F::FTDVidPidByIndex>},
    {"FTDFindDevice", &Store<&F::FTDFindDevice>},
    {"FTDFindDeviceCS", &Store<&F::FTDFindDeviceCS>},
    {"ciGetConfig", &Store<&F::ciGetConfig>},
    {"ciSetConfig", &Store<&F::ciSetConfig>},
    {"ciGetConfigValue", &Store<&F::ciGetConfigValue>},
    {"ciGetConnectionStringDlg", &Store<&F::ciGetConnectionStringDlg>},
    {"ciClearReadBuffer", &Store<&F::ciClearReadBuffer>},
    {"ciSndGet", &Store<&F::ciSndGet>},
    {"ciSndGetVantel97", &Store<&F::ciSndGetVantel97>},
    {"ciSndGetVant97", &Store<&F::ciSndGetVant97>},
    {"ciReadVant97", &Store<&F::ciReadVant97>},
}};
