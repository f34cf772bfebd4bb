#include "serial/SerialPortCoreInterface.h"

#include "ConduvexError.h"
#include "serial/ScPortSettings.h"

namespace {

std::string BoolText(bool value)
{
    return value ? "-1" : "0";
}

uint8_t ByteValue(const std::string& text)
{
    const int32_t value = SettingToInt32(text);
    if (value < 0 || value > 255)
        throw EConduvexError("Range check error");
    return static_cast<uint8_t>(value);
}

} // namespace

void TSerialPortCoreInterface::SetBaudRate(uint32_t rate)
{
    SetCharTime(CharTimeMs(rate));
}

std::string TSerialPortCoreInterface::GetConnectionString()
{
    std::string text = TCommunicationInterface::GetConnectionString();
    if (!text.empty())
        text += ";";
    text += "baudrate=" + std::to_string(GetBaudRate());
    text += ";databits=" + std::to_string(GetDataBits());
    text += ";dtr=" + BoolText(GetDTR());
    text += ";rts=" + BoolText(GetRTS());
    return text;
}

void TSerialPortCoreInterface::SetConnectionString(const std::string& text)
{
    const TParamSet settings = SplitSettings(text);
    ApplySerialSettings(settings);
    const std::optional<std::string> active = settings.GetValue("active");
    DoConfigChanged();
    if (active && IsTrueText(*active))
        Open();
    TCommunicationInterface::SetConnectionString(text);
}

void TSerialPortCoreInterface::ApplySerialSettings(const TParamSet& settings)
{
    if (const auto baudRate = settings.GetValue("baudrate"))
        SetBaudRate(static_cast<uint32_t>(SettingToInt32(*baudRate)));
    if (const auto dataBits = settings.GetValue("databits"))
        SetDataBits(ByteValue(*dataBits));
    if (const auto dtr = settings.GetValue("dtr"))
        SetDTR(SettingToBool(*dtr));
    if (const auto rts = settings.GetValue("rts"))
        SetRTS(SettingToBool(*rts));
}

void* TSerialPortCoreInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_ISerialPortInterface))
        return static_cast<ISerialPortInterface*>(this);
    return TCommunicationInterface::FindInterface(iid);
}
