#include "SerialPortCoreInterface.h"

#include "ConduvexError.h"
#include "ScPortSettings.h"

#include <strings.h>

namespace {

std::string BoolText(bool value)
{
    return value ? "-1" : "0";
}

int32_t IntegerValue(const std::string& text)
{
    const std::optional<int32_t> value = TextToInt32(text);
    if (!value)
        throw EConduvexError("'" + text + "' is not a valid integer value");
    return *value;
}

// A number (nonzero is true) or the word true or false in any letter case.
bool BooleanValue(const std::string& text)
{
    if (const std::optional<int32_t> number = TextToInt32(text))
        return *number != 0;
    if (strcasecmp(text.c_str(), "true") == 0)
        return true;
    if (strcasecmp(text.c_str(), "false") == 0)
        return false;
    throw EConduvexError("'" + text + "' is not a valid boolean value");
}

uint8_t ByteValue(const std::string& text)
{
    const int32_t value = IntegerValue(text);
    if (value < 0 || value > 255)
        throw EConduvexError("Range check error");
    return static_cast<uint8_t>(value);
}

bool IsTrueText(const std::string& text)
{
    return strcasecmp(text.c_str(), "TRUE") == 0 || text == "1";
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
        SetBaudRate(static_cast<uint32_t>(IntegerValue(*baudRate)));
    if (const auto dataBits = settings.GetValue("databits"))
        SetDataBits(ByteValue(*dataBits));
    if (const auto dtr = settings.GetValue("dtr"))
        SetDTR(BooleanValue(*dtr));
    if (const auto rts = settings.GetValue("rts"))
        SetRTS(BooleanValue(*rts));
}

void* TSerialPortCoreInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_ISerialPortInterface))
        return static_cast<ISerialPortInterface*>(this);
    return TCommunicationInterface::FindInterface(iid);
}

TParamSet TSerialPortCoreInterface::SplitSettings(const std::string& text)
{
    TParamSet settings(false);
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(';', start);
        settings.AddLine(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return settings;
        start = end + 1;
    }
}
