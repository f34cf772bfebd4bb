#include "serial/ScComPort.h"

#include "serial/SyncDispatch.h"

#include <array>
#include <cstdio>

namespace {

constexpr uint32_t kReceivedCharacter = EV_RXCHAR;

// Line-event bits and the event each one fires, in firing order.
struct TLineEventBinding {
    uint32_t mask;
    TScNotifyEvent TScComPort::*event;
};
constexpr std::array<TLineEventBinding, 4> kLineEventBindings{{
    {EV_CTS, &TScComPort::OnCTSChanged},
    {EV_DSR, &TScComPort::OnDSRChanged},
    {EV_RING, &TScComPort::OnRINGDetected},
    {EV_RLSD, &TScComPort::OnRLSDChanged},
}};

// Modem status bit of each TScModemLine (1..4).
constexpr std::array<uint32_t, 4> kModemLineMasks{MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON};

static_assert(sizeof(COMMCONFIG) == 52, "the configuration record is 52 bytes");

// Sets a flag for the duration of a scope.
class TFlagScope {
public:
    explicit TFlagScope(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~TFlagScope() { flag_ = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    std::atomic<bool>& flag_;
};

template <class... Args>
void Fire(const TMethod<TScComPort*, Args...>& event, TScComPort* sender, Args... args)
{
    if (event)
        event(sender, args...);
}

} // namespace

EScComPortError::EScComPortError(const std::string& message, const std::string& componentName)
    : EConduvexError(message + " - " + componentName + " ")
{
}

TScComPort::TScComPort()
{
    syncId_ = SafeSyncRegister(MakeMethod<&TScComPort::HandleSyncEvent>(this));
    core_ = std::make_unique<TScComPortCore>();
    core_->SetOnPortEvent(MakeMethod<&TScComPort::HandlePortEvent>(this));
    RebuildDcb();
}

// The engine is closed without a close event.
TScComPort::~TScComPort()
{
    destroying_ = true;
    SafeSyncUnregister(syncId_);
    core_.reset();
}

void TScComPort::Open()
{
    if (Active())
        return;
    SafeSyncSetEnabled(syncId_, true);
    core_->SetDCB(dcb_);
    core_->SetInBufSize(inBufSize_);
    core_->SetOutBufSize(outBufSize_);
    core_->SetEventThreadPriority(eventThreadPriority_);
    core_->SetWriteThreadPriority(writeThreadPriority_);
    closing_ = false;
    failureAnnounced_ = false;
    try {
        core_->OpenComPort(comNumber_);
    } catch (...) {
        SafeSyncSetEnabled(syncId_, false);
        throw;
    }
    Fire(OnPortOpen, this);
}

void TScComPort::Close()
{
    TFlagScope closing(closing_);
    SafeSyncSetEnabled(syncId_, false);
    core_->CloseComPort();
    if (!failureAnnounced_.exchange(false))
        Fire(OnPortClose, this);
}

void TScComPort::WriteData(const void* buffer, uint32_t count)
{
    if (closing_ || core_->WriteData(buffer, count))
        return;
    char text[96];
    std::snprintf(text, sizeof text, "Write data error [requested: %u, free: %u]", count, core_->OutBufFree());
    Fail(text);
}

void TScComPort::WriteString(const std::string& text)
{
    if (!text.empty())
        WriteData(text.data(), static_cast<uint32_t>(text.size()));
}

void TScComPort::ReadData(void* buffer, uint32_t count)
{
    if (closing_)
        return;
    if (core_->ReadData(buffer, count) < static_cast<int64_t>(count))
        Fail("Read data error");
}

std::string TScComPort::ReadString()
{
    if (closing_)
        return {};
    std::string text(InBufUsed(), '\0');
    ReadData(text.data(), static_cast<uint32_t>(text.size()));
    return text;
}

uint32_t TScComPort::InBufUsed()
{
    return core_->ComStatus().cbInQue;
}

bool TScComPort::AwaitInput(uint32_t maxMs)
{
    return !closing_ && core_->AwaitInput(maxMs);
}

uint32_t TScComPort::OutBufFree()
{
    return core_->OutBufFree();
}

void TScComPort::PurgeRx()
{
    if (!closing_)
        core_->PurgeRx();
}

void TScComPort::PurgeTx()
{
    if (!closing_)
        core_->PurgeTx();
}

bool TScComPort::ModemLine(TScModemLine line)
{
    const size_t index = static_cast<size_t>(line) - 1;
    return index < kModemLineMasks.size() && (core_->ModemStatus() & kModemLineMasks[index]) != 0;
}

void TScComPort::SetDCB(const DCB& dcb)
{
    if (dcb.DCBlength != sizeof(DCB))
        Fail("Error setting parameters from DCB");
    dcb_ = dcb;
    settings_ = SettingsFromDcb(dcb, settings_);
    RebuildDcb();
}

bool TScComPort::ExecuteConfigDialog()
{
    const std::string name = "COM" + std::to_string(comNumber_);
    COMMCONFIG config{};
    DWORD size = sizeof config;
    const bool queried = Active() ? GetCommConfig(Handle(), &config, &size)
                                  : GetDefaultCommConfigA(name.c_str(), &config, &size);
    if (!queried)
        return false;
    config.dwSize = sizeof config;
    config.dcb = dcb_;
    if (!CommConfigDialogA(name.c_str(), nullptr, &config))
        return false;
    SetDCB(config.dcb);
    return true;
}

void TScComPort::SetBaudRate(TScBaudrate rate)
{
    if (settings_.baudRate == rate)
        return;
    settings_.baudRate = rate;
    if (rate != TScBaudrate::brUser)
        settings_.userBaudRate = 0;
    RebuildDcb();
}

void TScComPort::SetUserBaudRate(uint32_t rate)
{
    if (settings_.userBaudRate == rate)
        return;
    settings_.userBaudRate = rate;
    settings_.baudRate = TScBaudrate::brUser;
    RebuildDcb();
}

void TScComPort::SetComNumber(uint16_t number)
{
    if (comNumber_ == number)
        return;
    if (!Active()) {
        comNumber_ = number;
        return;
    }
    Close();
    comNumber_ = number;
    Open();
}

void TScComPort::SetDatabits(TScDatabits databits)
{
    ChangeSetting(settings_.databits, databits);
}

void TScComPort::SetParity(TScParity parity)
{
    ChangeSetting(settings_.parity, parity);
}

void TScComPort::SetStopbits(TScStopbits stopbits)
{
    ChangeSetting(settings_.stopbits, stopbits);
}

void TScComPort::SetOptions(TScComOptions options)
{
    ChangeSetting(settings_.options, options);
}

void TScComPort::SetXOnChar(char value)
{
    ChangeSetting(settings_.xonChar, value);
}

void TScComPort::SetXOffChar(char value)
{
    ChangeSetting(settings_.xoffChar, value);
}

void TScComPort::SetFlowControl(TScFlowControl flowControl)
{
    if (settings_.flowControl == flowControl)
        return;
    settings_.flowControl = flowControl;
    SetDefaultXLimits();
    RebuildDcb();
}

// The stored block follows too, so a change made while closed holds at the next open.
void TScComPort::SetDTR(bool on)
{
    ChangeLine(settings_.dtr, on, SETDTR, CLRDTR);
}

void TScComPort::SetRTS(bool on)
{
    ChangeLine(settings_.rts, on, SETRTS, CLRRTS);
}

void TScComPort::ChangeLine(bool& line, bool on, uint32_t setFunction, uint32_t clearFunction)
{
    if (line == on)
        return;
    core_->EscapeComm(on ? setFunction : clearFunction);
    line = on;
    RebuildDcb();
}

void TScComPort::SetXOnLim(uint16_t value)
{
    if (settings_.xonLim == value)
        return;
    settings_.xonLim = value;
    settings_.xoffLim = ClampXLimit(static_cast<int64_t>(inBufSize_) - value);
}

void TScComPort::SetXOffLim(uint16_t value)
{
    if (settings_.xoffLim == value)
        return;
    settings_.xoffLim = value;
    settings_.xonLim = ClampXLimit(static_cast<int64_t>(inBufSize_) - value);
}

void TScComPort::SetInBufSize(uint32_t size)
{
    if (inBufSize_ == size)
        return;
    RequireClosed();
    inBufSize_ = size;
    SetDefaultXLimits();
}

void TScComPort::SetOutBufSize(uint32_t size)
{
    if (outBufSize_ == size)
        return;
    RequireClosed();
    outBufSize_ = size;
}

void TScComPort::SetDefaultXLimits()
{
    if (settings_.flowControl == TScFlowControl::fwNone) {
        settings_.xonLim = 0;
        settings_.xoffLim = 0;
        return;
    }
    settings_.xonLim = ClampXLimit(inBufSize_ / 4);
    settings_.xoffLim = ClampXLimit(static_cast<int64_t>(inBufSize_) - settings_.xonLim);
}

template <class T>
void TScComPort::ChangeSetting(T& field, T value)
{
    if (field == value)
        return;
    field = value;
    RebuildDcb();
}

void TScComPort::RebuildDcb()
{
    dcb_ = BuildDcb(settings_);
    if (Active())
        core_->SetDCB(dcb_);
}

void TScComPort::RequireClosed() const
{
    if (Active())
        Fail("Port is not closed");
}

void TScComPort::Fail(const std::string& message) const
{
    throw EScComPortError(message, name_);
}

// Once the engine failed, only the failure itself still travels.
void TScComPort::HandlePortEvent(TScComPortCore*, const TScCoreEventRecord& record)
{
    if (closing_ || destroying_)
        return;
    const bool failure = record.kind == TScCoreEvent::ceThreadFault;
    if (!failure && core_->Failed())
        return;
    if (record.kind != TScCoreEvent::ceException && !failure && OnNonSyncEvent) {
        OnNonSyncEvent(this, record.kind, record.data);
        return;
    }
    // A report the owning thread does not take in time is dropped; the poll repeats
    // still-waiting input.
    SafeSyncCall(syncId_, kSyncCallTimeoutMs, std::make_shared<TScCoreEventRecord>(record));
}

void TScComPort::HandleSyncEvent(int32_t, const void* record)
{
    if (closing_ || destroying_ || !record)
        return;
    const auto& event = *static_cast<const TScCoreEventRecord*>(record);
    Fire(OnSyncEvent, this, event.kind, event.data);
    switch (event.kind) {
    case TScCoreEvent::ceOutFree:
        Fire(OnOutBufFree, this);
        break;
    case TScCoreEvent::ceLineEvent:
        HandleLineEvent(event.data);
        break;
    case TScCoreEvent::ceNeedReadData:
        Fire(OnDataRecived, this, event.data);
        break;
    case TScCoreEvent::ceException:
        if (event.exception)
            std::rethrow_exception(event.exception);
        break;
    case TScCoreEvent::ceThreadFault:
        failureAnnounced_ = true;
        Fire(OnPortFailed, this, event.exception);
        break;
    }
}

void TScComPort::HandleLineEvent(uint32_t mask)
{
    if (mask & kReceivedCharacter)
        Fire(OnDataRecived, this, InBufUsed());
    const uint32_t errors = core_->ReadAndClearErrors();
    if (mask & EV_ERR)
        Fire(OnLineError, this, errors);
    for (const auto& binding : kLineEventBindings) {
        if (mask & binding.mask)
            Fire(this->*binding.event, this);
    }
}

uint32_t ComPortBaudValue(const TScComPort& port)
{
    if (port.BaudRate() == TScBaudrate::brUser)
        return port.UserBaudRate();
    return kScBaudRates[static_cast<size_t>(port.BaudRate())];
}
