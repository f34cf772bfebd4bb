#pragma once
// COM ports of the machine, found by opening each of the numbers 1 to 255, and the
// process-wide list of the last enumeration that the index exports read. Hosts may
// enumerate from several threads at once: the list is swapped and read under a lock, and
// readers get copies.
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

enum class TSerialPortState : uint8_t {
    InUse = 0,  // exists but could not be opened
    Free = 1,   // exists and could be opened
    Absent = 2, // does not exist
};

TSerialPortState ProbeSerialPort(int32_t number);

class TSerialPortList {
public:
    static constexpr int32_t kHighestPort = 255;

    // Probes every port, keeps those that exist and returns them.
    std::vector<int32_t> Enumerate();
    // The last enumeration; the first use enumerates.
    std::vector<int32_t> Numbers();
    int32_t Count() { return static_cast<int32_t>(Numbers().size()); }
    // None outside 0..count-1.
    std::optional<int32_t> NumberAt(int32_t index);

private:
    std::mutex mutex_;
    bool enumerated_ = false;
    std::vector<int32_t> numbers_;
};

TSerialPortList& SerialPorts();
