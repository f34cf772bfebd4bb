#include "SockClientCoreInterface.h"

#include "ConduvexError.h"

uint16_t TSockClientCoreInterface::GetLocalPort()
{
    return 0;
}

void TSockClientCoreInterface::SetLocalPort(uint16_t)
{
}

uint16_t TSockClientCoreInterface::CheckedPort(int64_t value)
{
    if (value < 1 || value > 65535)
        throw EConduvexError(kPortOutOfRangeText, kErrBadConnectionString);
    return static_cast<uint16_t>(value);
}

uint16_t TSockClientCoreInterface::PortFromText(const std::string& text)
{
    const std::optional<int32_t> value = TextToInt32(text);
    if (!value)
        throw EConduvexError("'" + text + "' is not a valid integer value");
    return CheckedPort(*value);
}

void* TSockClientCoreInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_ISockClientInterface))
        return static_cast<ISockClientInterface*>(this);
    return TCommunicationInterface::FindInterface(iid);
}

TParamSet TSockClientCoreInterface::SplitSettings(const std::string& text)
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
