// The stand-in converter driver: the 24 functions the communication library binds, over
// the devices of the configuration (StandInConfig.h). Each call is logged (CallLog.h; the
// queue polls of FT_GetQueueStatus are left out, they would flood the log) and answers the
// status injected for it, if any, before doing anything; one switched to fault faults.
#include "CallLog.h"
#include "StandInConfig.h"
#include "StandInPort.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

using TStatus = uint32_t;
using THandle = void*;

constexpr TStatus kOk = 0;
constexpr TStatus kInvalidHandle = 1;
constexpr TStatus kDeviceNotFound = 2;
constexpr TStatus kDeviceNotOpened = 3;
constexpr TStatus kIoError = 4;
constexpr TStatus kInvalidParameter = 6;
constexpr TStatus kInvalidBaudRate = 7;

constexpr uint32_t kListNumberOnly = 0x80000000;
constexpr uint32_t kOpenBySerialNumber = 1;
constexpr uint32_t kOpenByDescription = 2;
constexpr uint32_t kOpenByLocation = 4;
constexpr uint32_t kFlagOpened = 1;

struct TListNode {
    uint32_t flags;
    uint32_t type;
    uint32_t id;
    uint32_t location;
    char serialNumber[16];
    char description[64];
    THandle handle;
};
static_assert(sizeof(TListNode) == (sizeof(void*) == 8 ? 104 : 100));

// Opened devices by handle, and the device list of the last FT_CreateDeviceInfoList.
class TDriverState {
public:
    std::shared_ptr<TStandInPort> Port(THandle handle)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        const auto found = ports_.find(handle);
        return found == ports_.end() ? nullptr : found->second;
    }

    THandle HandleOf(const std::string& serialNumber)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        for (const auto& [handle, port] : ports_) {
            if (port->Device().serialNumber == serialNumber)
                return handle;
        }
        return nullptr;
    }

    THandle Add(std::shared_ptr<TStandInPort> port)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        THandle handle = port.get();
        ports_[handle] = std::move(port);
        return handle;
    }

    std::shared_ptr<TStandInPort> Remove(THandle handle)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        const auto found = ports_.find(handle);
        if (found == ports_.end())
            return nullptr;
        std::shared_ptr<TStandInPort> port = std::move(found->second);
        ports_.erase(found);
        return port;
    }

    std::vector<TStandInDevice> Snapshot(bool refresh)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (refresh || !snapshot_)
            snapshot_ = CurrentStandInConfig().devices;
        return *snapshot_;
    }

private:
    std::mutex lock_;
    std::map<THandle, std::shared_ptr<TStandInPort>> ports_;
    std::optional<std::vector<TStandInDevice>> snapshot_;
};

TDriverState& State()
{
    static TDriverState state;
    return state;
}

// Faults as a broken driver would, when the configuration switches that on for the function.
void FaultIfSwitched(const TStandInConfig& config, const std::string& function)
{
    if (!config.Faults(function))
        return;
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

// Logs the call; the injected status of the function, if the configuration has one.
std::optional<TStatus> Called(const std::string& function, const std::string& arguments = {})
{
    LogCall(arguments.empty() ? function : function + " " + arguments);
    const TStandInConfig config = CurrentStandInConfig();
    FaultIfSwitched(config, function);
    return config.FailureOf(function);
}

std::string Numbers(std::initializer_list<uint32_t> values)
{
    std::string text;
    for (const uint32_t value : values) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(value);
    }
    return text;
}

// Runs the work on the opened device behind the handle: kInvalidHandle when there is none.
template <class Work>
TStatus OnPort(THandle handle, Work&& work)
{
    try {
        const std::shared_ptr<TStandInPort> port = State().Port(handle);
        return port ? work(*port) : kInvalidHandle;
    } catch (...) {
        return kIoError;
    }
}

void CopyField(char* target, size_t size, const std::string& text)
{
    const size_t count = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), count);
    std::memset(target + count, 0, size - count);
}

bool Matches(const TStandInDevice& device, const void* argument, uint32_t flags)
{
    switch (flags) {
    case kOpenBySerialNumber:
        return device.serialNumber == static_cast<const char*>(argument);
    case kOpenByDescription:
        return device.description == static_cast<const char*>(argument);
    case kOpenByLocation:
        return device.location == reinterpret_cast<uintptr_t>(argument);
    default:
        return false;
    }
}

TStatus OpenDevice(const TStandInDevice& device, THandle* handle)
{
    if (!handle)
        return kInvalidParameter;
    if (State().HandleOf(device.serialNumber))
        return kDeviceNotOpened;
    auto port = std::make_shared<TStandInPort>(device);
    if (!port->Usable())
        return kDeviceNotOpened;
    *handle = State().Add(std::move(port));
    return kOk;
}

TStatus HandleOnlyCall(const char* function, THandle handle)
{
    if (const auto failure = Called(function))
        return *failure;
    return OnPort(handle, [](TStandInPort&) { return kOk; });
}

} // namespace

extern "C" {

TStatus WINAPI FT_Open(int32_t number, THandle* handle)
{
    if (const auto failure = Called("FT_Open", std::to_string(number)))
        return *failure;
    const std::vector<TStandInDevice> devices = CurrentStandInConfig().devices;
    if (number < 0 || static_cast<size_t>(number) >= devices.size())
        return kDeviceNotFound;
    return OpenDevice(devices[static_cast<size_t>(number)], handle);
}

TStatus WINAPI FT_OpenEx(void* argument, uint32_t flags, THandle* handle)
{
    const std::string key = flags == kOpenByLocation || !argument
                                ? std::to_string(reinterpret_cast<uintptr_t>(argument))
                                : std::string(static_cast<const char*>(argument));
    if (const auto failure = Called("FT_OpenEx", key + " " + std::to_string(flags)))
        return *failure;
    if (flags != kOpenByLocation && !argument)
        return kInvalidParameter;
    for (const TStandInDevice& device : CurrentStandInConfig().devices) {
        if (Matches(device, argument, flags))
            return OpenDevice(device, handle);
    }
    return kDeviceNotFound;
}

// The device is let go even when a status is injected: a caller cannot do more than close,
// and the next test must find the device free.
TStatus WINAPI FT_Close(THandle handle)
{
    const std::optional<TStatus> failure = Called("FT_Close");
    const bool known = State().Remove(handle) != nullptr;
    if (failure)
        return *failure;
    return known ? kOk : kInvalidHandle;
}

TStatus WINAPI FT_Write(THandle handle, const void* buffer, uint32_t length, uint32_t* written)
{
    if (const auto failure = Called("FT_Write", std::to_string(length)))
        return *failure;
    return OnPort(handle, [&](TStandInPort& port) {
        if (!buffer || !written)
            return kInvalidParameter;
        *written = port.Write(static_cast<const char*>(buffer), length);
        return *written == length ? kOk : kIoError;
    });
}

TStatus WINAPI FT_Read(THandle handle, void* buffer, uint32_t length, uint32_t* read)
{
    if (const auto failure = Called("FT_Read", std::to_string(length)))
        return *failure;
    return OnPort(handle, [&](TStandInPort& port) {
        if (!buffer || !read)
            return kInvalidParameter;
        *read = port.Read(static_cast<char*>(buffer), length);
        return kOk;
    });
}

TStatus WINAPI FT_SetBaudRate(THandle handle, uint32_t rate)
{
    if (const auto failure = Called("FT_SetBaudRate", std::to_string(rate)))
        return *failure;
    return OnPort(handle, [rate](TStandInPort&) { return rate == 0 ? kInvalidBaudRate : kOk; });
}

TStatus WINAPI FT_SetDataCharacteristics(THandle handle, uint8_t wordLength, uint8_t stopBits,
                                         uint8_t parity)
{
    if (const auto failure =
            Called("FT_SetDataCharacteristics", Numbers({wordLength, stopBits, parity})))
        return *failure;
    return OnPort(handle, [&](TStandInPort&) {
        const bool valid = (wordLength == 7 || wordLength == 8) && stopBits <= 2 && parity <= 4;
        return valid ? kOk : kInvalidParameter;
    });
}

TStatus WINAPI FT_SetFlowControl(THandle handle, uint16_t flow, uint8_t xon, uint8_t xoff)
{
    if (const auto failure = Called("FT_SetFlowControl", Numbers({flow, xon, xoff})))
        return *failure;
    return OnPort(handle, [](TStandInPort&) { return kOk; });
}

TStatus WINAPI FT_ResetDevice(THandle handle)
{
    return HandleOnlyCall("FT_ResetDevice", handle);
}

TStatus WINAPI FT_SetDtr(THandle handle)
{
    return HandleOnlyCall("FT_SetDtr", handle);
}

TStatus WINAPI FT_ClrDtr(THandle handle)
{
    return HandleOnlyCall("FT_ClrDtr", handle);
}

TStatus WINAPI FT_SetRts(THandle handle)
{
    return HandleOnlyCall("FT_SetRts", handle);
}

TStatus WINAPI FT_ClrRts(THandle handle)
{
    return HandleOnlyCall("FT_ClrRts", handle);
}

TStatus WINAPI FT_GetModemStatus(THandle handle, uint32_t* status)
{
    if (const auto failure = Called("FT_GetModemStatus"))
        return *failure;
    return OnPort(handle, [status](TStandInPort&) {
        if (!status)
            return kInvalidParameter;
        *status = 0;
        return kOk;
    });
}

TStatus WINAPI FT_SetChars(THandle handle, uint8_t eventChar, uint8_t eventEnabled,
                           uint8_t errorChar, uint8_t errorEnabled)
{
    if (const auto failure =
            Called("FT_SetChars", Numbers({eventChar, eventEnabled, errorChar, errorEnabled})))
        return *failure;
    return OnPort(handle, [](TStandInPort&) { return kOk; });
}

TStatus WINAPI FT_Purge(THandle handle, uint32_t mask)
{
    if (const auto failure = Called("FT_Purge", std::to_string(mask)))
        return *failure;
    return OnPort(handle, [mask](TStandInPort& port) {
        port.Purge(mask);
        return kOk;
    });
}

TStatus WINAPI FT_SetTimeouts(THandle handle, uint32_t readMs, uint32_t writeMs)
{
    if (const auto failure = Called("FT_SetTimeouts", Numbers({readMs, writeMs})))
        return *failure;
    return OnPort(handle, [](TStandInPort&) { return kOk; });
}

TStatus WINAPI FT_GetQueueStatus(THandle handle, uint32_t* waiting)
{
    const TStandInConfig config = CurrentStandInConfig();
    FaultIfSwitched(config, "FT_GetQueueStatus");
    if (const auto failure = config.FailureOf("FT_GetQueueStatus"))
        return *failure;
    return OnPort(handle, [waiting](TStandInPort& port) {
        if (!waiting)
            return kInvalidParameter;
        *waiting = port.Waiting();
        return kOk;
    });
}

TStatus WINAPI FT_ListDevices(void* argument1, void* argument2, uint32_t flags)
{
    static_cast<void>(argument2);
    if (const auto failure = Called("FT_ListDevices", std::to_string(flags)))
        return *failure;
    if (flags != kListNumberOnly || !argument1)
        return kInvalidParameter;
    const TStandInConfig config = CurrentStandInConfig();
    *static_cast<uint32_t*>(argument1) =
        config.listCount.value_or(static_cast<uint32_t>(config.devices.size()));
    return kOk;
}

TStatus WINAPI FT_CreateDeviceInfoList(uint32_t* count)
{
    if (const auto failure = Called("FT_CreateDeviceInfoList"))
        return *failure;
    if (!count)
        return kInvalidParameter;
    *count = static_cast<uint32_t>(State().Snapshot(true).size());
    return kOk;
}

// Writes every entry of the snapshot, as the real driver does: the list must have room.
TStatus WINAPI FT_GetDeviceInfoList(TListNode* list, uint32_t* count)
{
    if (const auto failure = Called("FT_GetDeviceInfoList"))
        return *failure;
    if (!count)
        return kInvalidParameter;
    const std::vector<TStandInDevice> devices = State().Snapshot(false);
    if (!devices.empty() && !list)
        return kInvalidParameter;
    for (size_t index = 0; index < devices.size(); ++index) {
        const TStandInDevice& device = devices[index];
        TListNode& node = list[index];
        node.handle = State().HandleOf(device.serialNumber);
        node.flags = node.handle ? kFlagOpened : 0;
        node.type = device.type;
        node.id = device.Id();
        node.location = device.location;
        CopyField(node.serialNumber, sizeof node.serialNumber, device.serialNumber);
        CopyField(node.description, sizeof node.description, device.description);
    }
    *count = static_cast<uint32_t>(devices.size());
    return kOk;
}

TStatus WINAPI FT_GetDeviceInfoDetail(uint32_t index, uint32_t* flags, uint32_t* type,
                                      uint32_t* id, uint32_t* location, char* serialNumber,
                                      char* description, THandle* handle)
{
    if (const auto failure = Called("FT_GetDeviceInfoDetail", std::to_string(index)))
        return *failure;
    const std::vector<TStandInDevice> devices = State().Snapshot(false);
    if (index >= devices.size())
        return kDeviceNotFound;
    if (!flags || !type || !id || !location || !serialNumber || !description || !handle)
        return kInvalidParameter;
    const TStandInDevice& device = devices[index];
    *handle = State().HandleOf(device.serialNumber);
    *flags = *handle ? kFlagOpened : 0;
    *type = device.type;
    *id = device.Id();
    *location = device.location;
    CopyField(serialNumber, 16, device.serialNumber);
    CopyField(description, 64, device.description);
    return kOk;
}

TStatus WINAPI FT_SetEventNotification(THandle handle, uint32_t mask, void* event)
{
    if (const auto failure = Called("FT_SetEventNotification", std::to_string(mask)))
        return *failure;
    return OnPort(handle, [&](TStandInPort& port) {
        port.SetNotification(mask, static_cast<HANDLE>(event));
        return kOk;
    });
}

TStatus WINAPI FT_EraseEE(THandle handle)
{
    return HandleOnlyCall("FT_EraseEE", handle);
}

} // extern "C"
