#include "serial/SerialPortInterface.h"

#include "ConduvexError.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr uint8_t kLowestDataBits = 4;
constexpr uint8_t kHighestDataBits = 8;

// The run of decimal digits after the leading non-digits.
std::optional<uint64_t> DigitsAfterPrefix(const std::string& text)
{
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    auto digit = std::find_if(text.begin(), text.end(), isDigit);
    if (digit == text.end())
        return std::nullopt;
    uint64_t number = 0;
    constexpr uint64_t kSaturation = 0xFFFFFFFFull;
    for (; digit != text.end() && isDigit(*digit); ++digit)
        number = std::min(number * 10 + static_cast<uint64_t>(*digit - '0'), kSaturation);
    return number;
}

std::string UpperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return text;
}

} // namespace

TSerialPortInterface::TSerialPortInterface(const std::string& connectionString)
    : port_(std::make_unique<TScComPort>())
{
    port_->SetUserBaudRate(kDefaultBaudRate);
    port_->SetOutBufSize(kDefaultBufferSize);
    port_->SetInBufSize(kDefaultBufferSize);
    BindPortEvents();
    if (!connectionString.empty())
        SetConnectionString(connectionString);
}

TSerialPortInterface::~TSerialPortInterface()
{
    port_->OnPortOpen = {};
    port_->OnPortClose = {};
    port_->OnPortFailed = {};
    port_->OnDataRecived = {};
    port_->OnRLSDChanged = {};
    port_->OnCTSChanged = {};
    port_->OnDSRChanged = {};
    port_->OnRINGDetected = {};
    port_.reset();
}

void TSerialPortInterface::BindPortEvents()
{
    port_->OnPortOpen = MakeMethod<&TSerialPortInterface::PortOpened>(this);
    port_->OnPortClose = MakeMethod<&TSerialPortInterface::PortClosed>(this);
    port_->OnPortFailed = MakeMethod<&TSerialPortInterface::PortFailed>(this);
    port_->OnDataRecived = MakeMethod<&TSerialPortInterface::PortDataReceived>(this);
    port_->OnRLSDChanged = MakeMethod<&TSerialPortInterface::CarrierDetectChanged>(this);
    port_->OnCTSChanged = MakeMethod<&TSerialPortInterface::CtsChanged>(this);
    port_->OnDSRChanged = MakeMethod<&TSerialPortInterface::DsrChanged>(this);
    port_->OnRINGDetected = MakeMethod<&TSerialPortInterface::RingDetected>(this);
}

std::optional<uint64_t> TSerialPortInterface::PortNumberOf(const std::string& connectionString)
{
    const TParamSet settings = SplitSettings(UpperCase(connectionString));
    for (const char* key : {"COMPORT", "PORTNAME"}) {
        if (const auto value = settings.GetValue(key)) {
            if (const auto number = DigitsAfterPrefix(*value))
                return number;
        }
    }
    const std::string whole = UpperCase(connectionString);
    if (whole.rfind("COM", 0) == 0)
        return DigitsAfterPrefix(whole);
    return std::nullopt;
}

void TSerialPortInterface::SetConnectionString(const std::string& text)
{
    if (const auto number = PortNumberOf(text)) {
        if (*number > 0xFFFF)
            throw EConduvexError("Range check error");
        port_->SetComNumber(static_cast<uint16_t>(*number));
        id_ = "COM" + std::to_string(*number);
    } else {
        id_ = "COM unknown";
    }
    TSerialPortCoreInterface::SetConnectionString(text);
}

std::string TSerialPortInterface::GetConnectionString()
{
    return TSerialPortCoreInterface::GetConnectionString() + ";comport=" + std::to_string(port_->ComNumber());
}

bool TSerialPortInterface::IsActive()
{
    return port_->Active();
}

bool TSerialPortInterface::Open()
{
    TInterfaceLockScope lock(*this);
    SetBaudRate(GetBaudRate());
    port_->Open();
    return port_->Active();
}

// A port whose engine failed is closed too: what is left of it goes.
bool TSerialPortInterface::Close()
{
    TInterfaceLockScope lock(*this);
    if (!port_->Active() && !port_->Failed())
        return false;
    port_->Close();
    return !port_->Active();
}

int32_t TSerialPortInterface::Write(const std::string& bytes)
{
    TInterfaceLockScope lock(*this);
    Trace(1, bytes);
    port_->WriteString(bytes);
    return static_cast<int32_t>(bytes.size());
}

std::string TSerialPortInterface::Read()
{
    TInterfaceLockScope lock(*this);
    const std::string bytes = port_->ReadString();
    Trace(2, bytes);
    return bytes;
}

bool TSerialPortInterface::WaitForNewBytes(uint32_t maxMs)
{
    return port_->AwaitInput(maxMs);
}

int32_t TSerialPortInterface::ReadLength()
{
    return static_cast<int32_t>(port_->InBufUsed());
}

std::string TSerialPortInterface::GetID()
{
    return id_;
}

void TSerialPortInterface::SetValid(bool valid)
{
    TSerialPortCoreInterface::SetValid(valid);
    if (!valid)
        Close();
}

bool TSerialPortInterface::ExecuteConfigDialog()
{
    if (!port_->ExecuteConfigDialog())
        return false;
    DoConfigChanged();
    return true;
}

bool TSerialPortInterface::ConfigDialogAvailable()
{
    return true;
}

uint32_t TSerialPortInterface::GetBaudRate()
{
    return ComPortBaudValue(*port_);
}

// The user rate also selects brUser: the device is programmed with exactly this rate.
void TSerialPortInterface::SetBaudRate(uint32_t rate)
{
    TSerialPortCoreInterface::SetBaudRate(rate);
    port_->SetUserBaudRate(rate);
    DoConfigChanged();
}

bool TSerialPortInterface::GetRTS()
{
    return port_->RTS();
}

void TSerialPortInterface::SetRTS(bool on)
{
    TInterfaceLockScope lock(*this);
    port_->SetRTS(on);
}

bool TSerialPortInterface::GetDTR()
{
    return port_->DTR();
}

void TSerialPortInterface::SetDTR(bool on)
{
    TInterfaceLockScope lock(*this);
    port_->SetDTR(on);
}

bool TSerialPortInterface::GetCTS()
{
    return port_->ModemLine(TScModemLine::mlCTS);
}

bool TSerialPortInterface::GetDSR()
{
    return port_->ModemLine(TScModemLine::mlDSR);
}

void TSerialPortInterface::PurgeRx()
{
    TInterfaceLockScope lock(*this);
    port_->PurgeRx();
}

void TSerialPortInterface::PurgeTx()
{
    TInterfaceLockScope lock(*this);
    port_->PurgeTx();
}

void TSerialPortInterface::SetComPort(uint16_t number)
{
    port_->SetComNumber(number);
}

uint16_t TSerialPortInterface::GetComPort()
{
    return port_->ComNumber();
}

uint8_t TSerialPortInterface::GetDataBits()
{
    return static_cast<uint8_t>(static_cast<uint8_t>(port_->Databits()) + kLowestDataBits);
}

void TSerialPortInterface::SetDataBits(uint8_t bits)
{
    if (bits < kLowestDataBits || bits > kHighestDataBits)
        throw EConduvexError("Range check error");
    port_->SetDatabits(static_cast<TScDatabits>(bits - kLowestDataBits));
    DoConfigChanged();
}

uint32_t TSerialPortInterface::GetOutBufSize()
{
    return port_->OutBufSize();
}

void TSerialPortInterface::SetOutBufSize(uint32_t size)
{
    port_->SetOutBufSize(size);
}

uint32_t TSerialPortInterface::GetInBufSize()
{
    return port_->InBufSize();
}

void TSerialPortInterface::SetInBufSize(uint32_t size)
{
    port_->SetInBufSize(size);
}

void TSerialPortInterface::PortOpened(TScComPort*)
{
    DoOpen();
}

void TSerialPortInterface::PortClosed(TScComPort*)
{
    DoClose();
}

void TSerialPortInterface::PortFailed(TScComPort*, std::exception_ptr fault)
{
    AnnounceFaultClose(fault);
}

void TSerialPortInterface::PortDataReceived(TScComPort*, uint32_t)
{
    DoDataReceived(this);
}

void TSerialPortInterface::CarrierDetectChanged(TScComPort*)
{
    DoChangeEvent(kLineCodeCarrierDetect, port_->ModemLine(TScModemLine::mlRLSD));
}

void TSerialPortInterface::CtsChanged(TScComPort*)
{
    DoChangeEvent(kLineCodeCts, port_->ModemLine(TScModemLine::mlCTS));
}

void TSerialPortInterface::DsrChanged(TScComPort*)
{
    DoChangeEvent(kLineCodeDsr, port_->ModemLine(TScModemLine::mlDSR));
}

void TSerialPortInterface::RingDetected(TScComPort*)
{
    DoChangeEvent(kLineCodeRing, port_->ModemLine(TScModemLine::mlRING));
}
