#include "ftdi/FTDIDevice.h"

#include "ConduvexError.h"
#include "dialogs/FTDIdialog.h"
#include "ftdi/FtdiDeviceLookup.h"
#include "LastError.h"
#include "runtime/FaultReport.h"

using namespace ftd2xx;

namespace {

[[noreturn]] void RaiseAbstract()
{
    throw EConduvexError("Abstract Error");
}

std::string DriverErrorText(const char* step, TFtStatus status)
{
    const std::string text = FtStatusText(step, status);
    return text.empty() ? std::string(ResultCodeText(FtStatusCode(status))) : text;
}

} // namespace

TFTDIDevice::TFTDIDevice(const std::string& connectionString)
{
    if (!connectionString.empty())
        SetConnectionString(connectionString);
}

TFTDIDevice::TFTDIDevice(int32_t index, const std::string& name) : name_(name), index_(index)
{
    uint32_t count = 0;
    TFtStatus status = FT_CreateDeviceInfoList(&count);
    TFtdiDeviceDetail detail;
    if (status == kFtOk)
        status = QueryFtdiDetail(index, detail);
    if (status != kFtOk) {
        ReportDriverError("GetFTDeviceSerialNo", status);
        return;
    }
    serialNumber_ = detail.serialNumber;
    description_ = detail.description;
}

// A link released while open lets its device go without announcing it.
TFTDIDevice::~TFTDIDevice()
{
    try {
        StopReader();
        if (const TFtHandle handle = handle_.exchange(nullptr))
            FT_Close(handle);
    } catch (...) {
        ReportFaultWhereItRuns();
    }
}

void* TFTDIDevice::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IFTDISerialPortInterface))
        return static_cast<IFTDISerialPortInterface*>(this);
    return TSerialPortCoreInterface::FindInterface(iid);
}

bool TFTDIDevice::IsActive()
{
    return handle_ != nullptr;
}

bool TFTDIDevice::Open()
{
    if (IsActive() || serialNumber_.empty())
        return false;
    TFtHandle handle = nullptr;
    const TFtStatus status =
        FT_OpenEx(const_cast<char*>(serialNumber_.c_str()), kFtOpenBySerialNumber, &handle);
    if (status != kFtOk) {
        ReportDriverError("Open_USB_Device_By_Serial_Number", status);
        return false;
    }
    handle_ = handle;
    StartReader(handle);
    SetBaudRate(baudRate_);
    ApplyLineSettings();
    if (!IsActive())
        return false;
    DoOpen();
    return true;
}

void TFTDIDevice::StartReader(TFtHandle handle)
{
    if (reader_)
        return;
    TFtStatus armed = kFtOk;
    try {
        reader_ = TFTDIDevicecore::Start(*this, handle, arrival_.Get(), armed);
    } catch (...) {
        handle_ = nullptr;
        FT_Close(handle);
        throw;
    }
    ReportDriverError("FT_SetEventNotification", armed);
}

// Also waits for a reader that stopped itself, once called from another thread.
void TFTDIDevice::StopReader()
{
    for (std::shared_ptr<TFTDIDevicecore>* slot : {&endingReader_, &reader_}) {
        if (const std::shared_ptr<TFTDIDevicecore> reader = std::move(*slot); reader && !reader->Stop())
            endingReader_ = reader;
    }
}

// Settings given while closed were only kept: the device gets them now.
void TFTDIDevice::ApplyLineSettings()
{
    if (IsActive())
        ReportDriverError("FT_SetDataCharacteristics",
                          FT_SetDataCharacteristics(handle_, wordLength_, stopBits_, parity_));
    if (IsActive())
        ReportDriverError("FT_SetDTR/FT_ClrDTR", ApplyDtr(dtr_));
    if (IsActive())
        ReportDriverError("FT_SetRTS/FT_ClrRTS", ApplyRts(rts_));
}

bool TFTDIDevice::Close()
{
    return CloseDevice(false);
}

// The reader asks the driver about the handle: it stops before the handle goes, and starts
// again when the device stays open.
bool TFTDIDevice::CloseDevice(bool force)
{
    if (!IsActive()) {
        // Closed by its failed reader: the host's close waits for that thread's end.
        StopReader();
        return false;
    }
    const TIntfPtr<IFTDISerialPortInterface> keepAlive(this);
    StopReader();
    const TFtStatus status = FT_Close(handle_);
    const bool closed = status == kFtOk;
    if (closed || force || status == kFtIoError) {
        handle_ = nullptr;
        DoClose();
    } else {
        StartReader(handle_);
    }
    // Reported only now: the closed announcement may run host code that clears it.
    FtStatusError("FT_Close", status);
    return closed;
}

void TFTDIDevice::ReaderFailed(std::exception_ptr fault)
{
    SetExceptionError(fault);
    CloseDevice(true);
}

void TFTDIDevice::ReportDriverError(const char* step, TFtStatus status)
{
    if (status == kFtOk)
        return;
    // Closed first: the closed announcement may run host code that clears the last error.
    if (status == kFtIoError)
        CloseDevice(true);
    FtStatusError(step, status);
}

void TFTDIDevice::RaiseDriverError(const char* step, TFtStatus status)
{
    const EConduvexError error(DriverErrorText(step, status), FtStatusCode(status));
    ReportDriverError(step, status);
    throw error;
}

int32_t TFTDIDevice::Write(const std::string& bytes)
{
    uint32_t written = 0;
    TFtStatus status = kFtOk;
    {
        const TInterfaceLockScope lock(*this);
        if (!IsActive())
            throw EConduvexError(std::string(ResultCodeText(kErrNotOpened)), kErrNotOpened);
        Trace(1, bytes);
        if (bytes.empty())
            return 0;
        status = FT_Write(handle_, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    }
    // Outside the lock: closing waits for the reader, whose announcement may want it.
    if (status != kFtOk)
        RaiseDriverError("FT_WRITE", status);
    return static_cast<int32_t>(written);
}

std::string TFTDIDevice::Read()
{
    std::string bytes;
    const char* step = "FT_GetQueueStatus";
    TFtStatus status = kFtOk;
    {
        const TInterfaceLockScope lock(*this);
        if (!IsActive())
            return bytes;
        uint32_t waiting = 0;
        status = FT_GetQueueStatus(handle_, &waiting);
        if (status == kFtOk && waiting > 0) {
            bytes.resize(waiting);
            uint32_t read = 0;
            step = "FT_Read";
            status = FT_Read(handle_, bytes.data(), waiting, &read);
            bytes.resize(status == kFtOk ? read : 0);
        }
        Trace(2, bytes);
    }
    ReportDriverError(step, status);
    return bytes;
}

bool TFTDIDevice::WaitForNewBytes(uint32_t maxMs)
{
    if (!arrival_ || !IsActive())
        return false;
    if (ReadLength() == 0)
        WaitForSingleObject(arrival_.Get(), maxMs);
    return true;
}

int32_t TFTDIDevice::ReadLength()
{
    if (!IsActive())
        return 0;
    uint32_t waiting = 0;
    const TFtStatus status = FT_GetQueueStatus(handle_, &waiting);
    ReportDriverError("FT_GetQueueStatus", status);
    return status == kFtOk ? static_cast<int32_t>(waiting) : 0;
}

std::string TFTDIDevice::GetID()
{
    return serialNumber_;
}

std::string TFTDIDevice::GetDescription()
{
    return description_;
}

void TFTDIDevice::SetValid(bool valid)
{
    TSerialPortCoreInterface::SetValid(valid);
    CloseDevice(true);
}

// The converter's dialog only shows the baud rate; it has no way to end with OK, so in
// practice this reports false.
bool TFTDIDevice::ExecuteConfigDialog()
{
    TfFTDIdialog dialog(GetBaudRate());
    if (!dialog.Execute())
        return false;
    DoConfigChanged();
    return true;
}

bool TFTDIDevice::ConfigDialogAvailable()
{
    return true;
}

std::string TFTDIDevice::GetConnectionString()
{
    return "provider=FTD_USB;serial_number=" + serialNumber_ + ";" +
           TSerialPortCoreInterface::GetConnectionString();
}

void TFTDIDevice::SetConnectionString(const std::string& text)
{
    const TParamSet settings = SplitSettings(text);
    const bool wasOpen = IsActive();
    Close();
    if (const std::optional<std::string> serialNumber = settings.GetValue("serial_number")) {
        serialNumber_ = *serialNumber;
        description_ = FindFTDescription(serialNumber_).value_or(std::string());
    }
    if (wasOpen)
        Open();
    TSerialPortCoreInterface::SetConnectionString(text);
}

uint32_t TFTDIDevice::GetBaudRate()
{
    return baudRate_;
}

void TFTDIDevice::SetBaudRate(uint32_t rate)
{
    TSerialPortCoreInterface::SetBaudRate(rate);
    TFtStatus status = kFtOk;
    {
        const TInterfaceLockScope lock(*this);
        if (IsActive())
            status = FT_SetBaudRate(handle_, rate);
        if (status == kFtOk)
            baudRate_ = rate;
    }
    ReportDriverError("FT_SetBaudRate", status);
    DoConfigChanged();
}

bool TFTDIDevice::GetRTS()
{
    return rts_;
}

TFtStatus TFTDIDevice::ApplyRts(bool on)
{
    return on ? FT_SetRts(handle_) : FT_ClrRts(handle_);
}

void TFTDIDevice::SetRTS(bool on)
{
    TFtStatus status = kFtOk;
    {
        const TInterfaceLockScope lock(*this);
        if (IsActive())
            status = ApplyRts(on);
        if (status == kFtOk)
            rts_ = on;
    }
    ReportDriverError("FT_SetRTS/FT_ClrRTS", status);
}

bool TFTDIDevice::GetDTR()
{
    return dtr_;
}

TFtStatus TFTDIDevice::ApplyDtr(bool on)
{
    return on ? FT_SetDtr(handle_) : FT_ClrDtr(handle_);
}

void TFTDIDevice::SetDTR(bool on)
{
    const TFtStatus status = IsActive() ? ApplyDtr(on) : kFtOk;
    if (status == kFtOk)
        dtr_ = on;
    ReportDriverError("FT_SetDTR/FT_ClrDTR", status);
}

bool TFTDIDevice::GetCTS()
{
    return false;
}

bool TFTDIDevice::GetDSR()
{
    return false;
}

void TFTDIDevice::PurgeRx()
{
    if (IsActive())
        ReportDriverError("FT_Purge RX", FT_Purge(handle_, kFtPurgeRx));
}

void TFTDIDevice::PurgeTx()
{
    if (IsActive())
        ReportDriverError("FT_Purge TX", FT_Purge(handle_, kFtPurgeTx));
}

void TFTDIDevice::SetComPort(uint16_t)
{
    RaiseAbstract();
}

uint16_t TFTDIDevice::GetComPort()
{
    RaiseAbstract();
}

uint8_t TFTDIDevice::GetDataBits()
{
    return wordLength_;
}

void TFTDIDevice::SetDataBits(uint8_t bits)
{
    const uint8_t previous = wordLength_;
    wordLength_ = bits;
    const TFtStatus status =
        IsActive() ? FT_SetDataCharacteristics(handle_, wordLength_, stopBits_, parity_) : kFtOk;
    if (status != kFtOk)
        wordLength_ = previous;
    ReportDriverError("FT_SetDataCharacteristics", status);
    DoConfigChanged();
}

uint32_t TFTDIDevice::GetOutBufSize()
{
    RaiseAbstract();
}

void TFTDIDevice::SetOutBufSize(uint32_t)
{
    RaiseAbstract();
}

uint32_t TFTDIDevice::GetInBufSize()
{
    RaiseAbstract();
}

void TFTDIDevice::SetInBufSize(uint32_t)
{
    RaiseAbstract();
}

std::string TFTDIDevice::GetSerialNumber()
{
    return serialNumber_;
}

std::string TFTDIDevice::GetDeviceDescription()
{
    return description_;
}

int32_t TFTDIDevice::GetDeviceIndex()
{
    return index_;
}

std::string TFTDIDevice::GetDeviceName()
{
    return name_;
}

TFtHandle TFTDIDevice::GetFTHandle()
{
    return handle_;
}

void TFTDIDevice::NotifyDataReceived()
{
    DoDataReceived();
}

bool TFTDIDevice::EraseEE()
{
    return FT_EraseEE(handle_) == kFtOk;
}
