#include "socket/SockClientCoreInterface.h"

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
    return CheckedPort(SettingToInt32(text));
}

void* TSockClientCoreInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_ISockClientInterface))
        return static_cast<ISockClientInterface*>(this);
    return TCommunicationInterface::FindInterface(iid);
}
