#include "ftdi/FTDIDeviceCore.h"

#include "runtime/LibraryUnload.h"
#include "ConduvexError.h"
#include "ftdi/FTDIDevice.h"
#include "runtime/FaultReport.h"
#include "win32/ThreadLife.h"

#include <process.h>

using namespace ftd2xx;

namespace {

HANDLE NewEvent(bool manualReset)
{
    const HANDLE event = CreateEventA(nullptr, manualReset, FALSE, nullptr);
    if (!event)
        throw EConduvexError("Cannot create an event of the converter reader.", kErrApi);
    return event;
}

// The reader may outlive the device (Stop), so it signals through a handle of its own.
HANDLE OwnHandle(HANDLE event)
{
    HANDLE own = nullptr;
    if (!event || !DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &own, 0, FALSE,
                                   DUPLICATE_SAME_ACCESS))
        return nullptr;
    return own;
}

} // namespace

TFTDIDevicecore::TFTDIDevicecore(TPasskey, TFTDIDevice& device, HANDLE arrival)
    : stopEvent_(NewEvent(true)), dataEvent_(NewEvent(false)), arrival_(OwnHandle(arrival)),
      started_(NewEvent(true)), finished_(NewEvent(true)),
      device_(&device)
{
}

std::shared_ptr<TFTDIDevicecore> TFTDIDevicecore::Start(TFTDIDevice& device, TFtHandle handle,
                                                        HANDLE arrival, TFtStatus& armed)
{
    auto reader = std::make_shared<TFTDIDevicecore>(TPasskey(), device, arrival);
    armed = FT_SetEventNotification(handle, kFtEventRxChar | kFtEventModemStatus,
                                    reader->dataEvent_.Get());
    reader->handle_ = handle;
    reader->running_ = reader;
    unsigned threadId = 0;
    const uintptr_t thread = _beginthreadex(nullptr, 0, &Entry, reader.get(), 0, &threadId);
    if (thread == 0) {
        reader->running_.reset();
        throw EConduvexError("Cannot start the converter reader.", kErrApi);
    }
    reader->thread_.Reset(reinterpret_cast<HANDLE>(thread));
    reader->threadId_ = threadId;
    SetThreadPriority(reader->thread_.Get(), THREAD_PRIORITY_HIGHEST);
    WaitForSingleObject(reader->started_.Get(), kThreadStartWaitMs);
    return reader;
}

bool TFTDIDevicecore::Stop()
{
    {
        const TLockGuard guard(deviceLock_);
        device_ = nullptr;
    }
    SetEvent(stopEvent_.Get());
    if (GetCurrentThreadId() == threadId_)
        return false;
    if (WaitForSingleObject(finished_.Get(), kStopWaitMs) == WAIT_OBJECT_0)
        WaitForSingleObject(thread_.Get(), ThreadExitGraceMs());
    return true;
}

unsigned __stdcall TFTDIDevicecore::Entry(void* self)
{
    // Keeps the reader alive until its thread is done, whoever let it go first.
    std::shared_ptr<TFTDIDevicecore> reader = std::move(static_cast<TFTDIDevicecore*>(self)->running_);
    SetEvent(reader->started_.Get());
    if (const std::exception_ptr fault = RunThreadBody([&reader] { reader->Run(); }))
        RunThreadBody([&reader, &fault] { reader->Failed(fault); });
    // The exit runs nothing of this library, so the reader is let go before it.
    const HANDLE finished = DuplicateForExit(reader->finished_.Get());
    if (!finished)
        SetEvent(reader->finished_.Get());
    reader.reset();
    if (finished)
        ExitThreadSetting(finished);
    return 0;
}

void TFTDIDevicecore::Run()
{
    const HANDLE events[] = {stopEvent_.Get(), dataEvent_.Get()};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, kWaitStepMs);
        if (woken == WAIT_OBJECT_0 + 1) {
            if (arrival_)
                SetEvent(arrival_.Get());
            if (BytesWaiting())
                Announce();
        }
        else if (woken != WAIT_TIMEOUT)
            return;
    }
}

// The event also tells of modem-status changes, which bring nothing to read. The device
// stops the reader before its handle goes.
bool TFTDIDevicecore::BytesWaiting() const
{
    uint32_t waiting = 0;
    return FT_GetQueueStatus(handle_, &waiting) != kFtOk || waiting > 0;
}

template <class Action>
void TFTDIDevicecore::WithDevice(Action&& action)
{
    TFTDIDevice* device = nullptr;
    {
        const TLockGuard guard(deviceLock_);
        // A device whose last reference is gone is being freed: it hears nothing more.
        if (device_ && device_->TryAddRef())
            device = device_;
    }
    if (!device)
        return;
    const auto held = TIntfPtr<IFTDISerialPortInterface>::Attach(device);
    action(*device);
}

void TFTDIDevicecore::Announce()
{
    WithDevice([](TFTDIDevice& device) { device.NotifyDataReceived(); });
}

void TFTDIDevicecore::Failed(std::exception_ptr fault)
{
    WithDevice([&fault](TFTDIDevice& device) { device.ReaderFailed(fault); });
}
