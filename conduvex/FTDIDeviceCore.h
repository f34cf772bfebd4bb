#pragma once
// The reader thread of a converter link: at the highest priority it waits, 100 ms at a
// time, for the event the driver signals on received characters and modem-status changes,
// and announces each arrival through the device's NotifyDataReceived. It holds a counted
// reference to the device, so the device lives as long as the reader runs.
#include "IFTDISerialPortInterface.h"
#include "InterfacedObject.h"
#include "WinHandle.h"

#include <memory>
#include <thread>

class TFTDIDevicecore {
    struct TPasskey {
        explicit TPasskey() = default;
    };

public:
    // Arms the driver's notification on the handle (its status comes back in `armed`) and
    // starts the thread.
    static std::shared_ptr<TFTDIDevicecore> Start(IFTDISerialPortInterface* device,
                                                  ftd2xx::TFtHandle handle,
                                                  ftd2xx::TFtStatus& armed);
    TFTDIDevicecore(TPasskey, IFTDISerialPortInterface* device);
    ~TFTDIDevicecore();
    TFTDIDevicecore(const TFTDIDevicecore&) = delete;
    TFTDIDevicecore& operator=(const TFTDIDevicecore&) = delete;

    // Ends the thread and waits for it, except on the thread itself (a host that closes
    // the link from a data notification) or when it does not end in time (its announcement
    // waits for a lock the caller holds): then it ends on its own after the announcement.
    void Stop();

private:
    static constexpr DWORD kWaitStepMs = 100;
    static constexpr DWORD kStopWaitMs = 3000;

    void Run();

    TWinHandle stopEvent_;
    TWinHandle dataEvent_;
    TWinHandle finished_;
    TIntfPtr<IFTDISerialPortInterface> device_;
    std::thread thread_;
};
