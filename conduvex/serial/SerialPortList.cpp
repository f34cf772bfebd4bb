#include "serial/SerialPortList.h"

#include "WinHandle.h"

#include <windows.h>

#include <string>

namespace {

// Windows 9x knows the ports only by their plain names.
std::string PortFileName(int32_t number)
{
    const bool windows9x = (GetVersion() & 0x80000000u) != 0;
    return (windows9x ? "COM" : "\\\\.\\COM") + std::to_string(number);
}

} // namespace

TSerialPortState ProbeSerialPort(int32_t number)
{
    const TWinHandle port(CreateFileA(PortFileName(number).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (port)
        return TSerialPortState::Free;
    return GetLastError() == ERROR_FILE_NOT_FOUND ? TSerialPortState::Absent
                                                   : TSerialPortState::InUse;
}

std::vector<int32_t> TSerialPortList::Enumerate()
{
    // Probing takes a while: done outside the lock, so readers are not held up.
    std::vector<int32_t> found;
    for (int32_t number = 1; number <= kHighestPort; ++number) {
        if (ProbeSerialPort(number) != TSerialPortState::Absent)
            found.push_back(number);
    }
    const std::lock_guard lock(mutex_);
    numbers_ = found;
    enumerated_ = true;
    return found;
}

std::vector<int32_t> TSerialPortList::Numbers()
{
    {
        const std::lock_guard lock(mutex_);
        if (enumerated_)
            return numbers_;
    }
    return Enumerate();
}

std::optional<int32_t> TSerialPortList::NumberAt(int32_t index)
{
    const std::vector<int32_t> numbers = Numbers();
    if (index < 0 || index >= static_cast<int32_t>(numbers.size()))
        return std::nullopt;
    return numbers[static_cast<size_t>(index)];
}

TSerialPortList& SerialPorts()
{
    static TSerialPortList list;
    return list;
}
