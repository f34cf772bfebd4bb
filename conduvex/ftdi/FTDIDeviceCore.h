#pragma once
// The reader thread of a converter link: at the highest priority it waits, 100 ms at a
// time, for the event the driver signals on received characters and modem-status changes,
// sets the link's arrival event (for an exchange waiting on it) and, when the driver then has
// bytes waiting, announces them through the device's NotifyDataReceived, holding a counted
// reference to the device while it does. It knows the device without holding it
// otherwise, so a released device stops its reader when it goes away. A reader that fails
// (a fault in the driver, say) is reported and closes the device.
#include "CriticalSection.h"
#include "ftdi/Ftd2xx.h"
#include "WinHandle.h"

#include <exception>
#include <memory>

class TFTDIDevice;

class TFTDIDevicecore {
    struct TPasskey {
        explicit TPasskey() = default;
    };

public:
    // Arms the driver's notification on the handle (its status comes back in `armed`) and
    // starts the thread, which sets `arrival` (an event of the device; the reader keeps
    // its own handle of it) on every arrival. Raises when the thread cannot be started.
    static std::shared_ptr<TFTDIDevicecore> Start(TFTDIDevice& device, ftd2xx::TFtHandle handle,
                                                  HANDLE arrival, ftd2xx::TFtStatus& armed);
    TFTDIDevicecore(TPasskey, TFTDIDevice& device, HANDLE arrival);
    TFTDIDevicecore(const TFTDIDevicecore&) = delete;
    TFTDIDevicecore& operator=(const TFTDIDevicecore&) = delete;

    // From now on no announcement reaches the device and the reader asks the driver nothing
    // more. Waits for the thread to end, except on the thread itself (a host that closes or
    // releases the link from a data notification, a reader that closes its failed device)
    // and when an announcement does not end in time (it waits for a lock the caller holds):
    // the thread then ends on its own. False on the thread itself, where the end is still to
    // be waited for by the next stop from another thread.
    bool Stop();

private:
    static constexpr DWORD kWaitStepMs = 100;
    static constexpr DWORD kStopWaitMs = 3000;

    static unsigned __stdcall Entry(void* self);
    void Run();
    bool BytesWaiting() const;
    void Announce();
    void Failed(std::exception_ptr fault);
    // Runs the action on the device with a counted reference, unless it is gone or going.
    template <class Action>
    void WithDevice(Action&& action);

    TWinHandle stopEvent_;
    TWinHandle dataEvent_;
    TWinHandle arrival_;
    TWinHandle started_;
    TWinHandle finished_;
    TWinHandle thread_;
    DWORD threadId_ = 0;
    ftd2xx::TFtHandle handle_ = nullptr;
    TCriticalSection deviceLock_;
    TFTDIDevice* device_;
    // The thread's own reference, taken over by the thread when it starts.
    std::shared_ptr<TFTDIDevicecore> running_;
};
