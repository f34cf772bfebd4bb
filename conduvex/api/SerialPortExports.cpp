// COM port enumeration for hosts (ordinals 14 to 18).
#include "api/ApiFrame.h"
#include "HostMemory.h"
#include "serial/SerialPortList.h"
#include "conduvex.h"

#include <vector>

namespace {

int32_t RequirePortAt(int32_t index)
{
    const std::optional<int32_t> number = SerialPorts().NumberAt(index);
    if (!number)
        RaiseCode(kErrIndexOutOfBand);
    return *number;
}

} // namespace

extern "C" int32_t CI_CALL EnumSerialPorts(int32_t* buffer, int32_t* size)
{
    return CiCallValue<int32_t>(-1, [&] {
        const int32_t bytes = ReadHost(Required(size));
        const std::vector<int32_t> ports = SerialPorts().Enumerate();
        const int32_t count = static_cast<int32_t>(ports.size());
        const int32_t needed = count * static_cast<int32_t>(sizeof(int32_t));
        const bool fits = buffer && bytes >= needed;
        WriteHost(size, needed);
        if (!buffer)
            return count;
        if (!fits)
            RaiseCode(kErrBufferTooSmall);
        CopyToHost(buffer, ports.data(), static_cast<size_t>(needed));
        return count;
    });
}

extern "C" int32_t CI_CALL SerialPortCount()
{
    return CiCallValue<int32_t>(-1, [] { return SerialPorts().Count(); });
}

extern "C" int32_t CI_CALL SerialPortNumByIndex(int32_t index)
{
    return CiCallValue<int32_t>(-1, [index] { return RequirePortAt(index); });
}

extern "C" uint32_t CI_CALL SerialPortByIndex(int32_t index, char* buffer, int32_t* length)
{
    return CiCall([&]() -> uint32_t {
        Required(length);
        const int32_t number = RequirePortAt(index);
        const std::string text = number >= 1 ? "COM" + std::to_string(number) : std::string();
        return PutText(text, buffer, length);
    });
}

// The register convention: the port number arrives in EAX (on i686).
extern "C" uint8_t CI_REGISTER_CALL GetSerialPortState(int32_t port)
{
    return CiCallValue<uint8_t>(static_cast<uint8_t>(TSerialPortState::Absent), [port] {
        return static_cast<uint8_t>(ProbeSerialPort(port));
    });
}
