#include "FTDIDeviceCore.h"

#include "ConduvexError.h"

using namespace ftd2xx;

namespace {

HANDLE NewEvent(bool manualReset)
{
    const HANDLE event = CreateEventA(nullptr, manualReset, FALSE, nullptr);
    if (!event)
        throw EConduvexError("Cannot create an event of the converter reader.", kErrApi);
    return event;
}

} // namespace

TFTDIDevicecore::TFTDIDevicecore(TPasskey, IFTDISerialPortInterface* device)
    : stopEvent_(NewEvent(true)), dataEvent_(NewEvent(false)), finished_(NewEvent(true)),
      device_(device)
{
}

TFTDIDevicecore::~TFTDIDevicecore()
{
    if (thread_.joinable())
        thread_.detach();
}

std::shared_ptr<TFTDIDevicecore> TFTDIDevicecore::Start(IFTDISerialPortInterface* device,
                                                        TFtHandle handle, TFtStatus& armed)
{
    auto reader = std::make_shared<TFTDIDevicecore>(TPasskey(), device);
    armed = FT_SetEventNotification(handle, kFtEventRxChar | kFtEventModemStatus,
                                    reader->dataEvent_.Get());
    reader->thread_ = std::thread([self = reader] { self->Run(); });
    return reader;
}

void TFTDIDevicecore::Stop()
{
    SetEvent(stopEvent_.Get());
    if (!thread_.joinable())
        return;
    const bool onReader = std::this_thread::get_id() == thread_.get_id();
    if (!onReader && WaitForSingleObject(finished_.Get(), kStopWaitMs) == WAIT_OBJECT_0)
        thread_.join();
    else
        thread_.detach();
}

void TFTDIDevicecore::Run()
{
    try {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
        const HANDLE events[] = {stopEvent_.Get(), dataEvent_.Get()};
        for (;;) {
            const DWORD woken = WaitForMultipleObjects(2, events, FALSE, kWaitStepMs);
            if (woken == WAIT_OBJECT_0 + 1)
                device_->NotifyDataReceived();
            else if (woken != WAIT_TIMEOUT)
                break;
        }
    } catch (...) {
        // A thread entry lets nothing escape; the link just hears no more arrivals.
    }
    SetEvent(finished_.Get());
}
