#pragma once
// Iobrant's handle table of Tarvo objects. Each entry turns its object's change eventers
// and its link's open and close eventers into the host's notifications 512 to 517.
#include "ICommunicationInterface.h"
#include "tarvo/ITarvo.h"
#include "InterfaceHandler.h"

#include <cstdint>

// Notification kinds of a Tarvo handle. 514 and 515 carry the I/O position (0 = first)
// in the low byte and new state x 2 + old state in the high byte; the others carry 0.
enum TTarvoNotifyKind : uint16_t {
    kTarvoNotifyInputsChanged = 512,
    kTarvoNotifyOutputsChanged = 513,
    kTarvoNotifyInputChanged = 514,
    kTarvoNotifyOutputChanged = 515,
    kTarvoNotifyLinkOpened = 516,
    kTarvoNotifyLinkClosed = 517,
};

uint16_t TarvoChangeData(uint16_t position, bool newState, bool oldState);

class THandledSSDObject : public THandledIntfEvntObject {
public:
    using THandledIntfEvntObject::THandledIntfEvntObject;
};

class THandledTarvoObject : public THandledSSDObject {
public:
    // An object that is not a Tarvo module gets an entry without subscriptions.
    explicit THandledTarvoObject(IUnknown* held);
    ~THandledTarvoObject() override;

private:
    template <TTarvoNotifyKind Kind>
    void OnGroupChanged(ITarvo*, const TIOsChngRec&)
    {
        Notify(Kind, 0);
    }
    template <TTarvoNotifyKind Kind>
    void OnOneChanged(ITarvo*, uint16_t position, bool newState, bool oldState)
    {
        Notify(Kind, TarvoChangeData(position, newState, oldState));
    }
    template <TTarvoNotifyKind Kind>
    void OnLinkEvent(ICommunicationInterface*)
    {
        Notify(Kind, 0);
    }
    void SetSubscriptions(bool subscribe);

    TIntfPtr<ITarvo> tarvo_;
    // The link subscribed to: the object may have left its stack when the entry goes.
    TIntfPtr<ICommunicationInterface> link_;
};

class TSSDeviceIntfHandler : public TInterfaceEvntHandler {
public:
    virtual ~TSSDeviceIntfHandler() = default;
    // Nil when out of range, unknown or not a stack device.
    virtual TIntfPtr<IVantelStackDevice> DeviceByIndex(int32_t index);
    virtual TIntfPtr<IVantelStackDevice> DeviceByHandle(uint32_t handle);
    virtual uint32_t AddDevice(std::unique_ptr<THandledIntfObject> entry);
    template <class T>
    TIntfPtr<T> QueryDeviceByIndex(int32_t index, REFIID iid)
    {
        return QueryAs<T>(DeviceByIndex(index).Get(), iid);
    }
    template <class T>
    TIntfPtr<T> QueryDeviceByHandle(uint32_t handle, REFIID iid)
    {
        return QueryAs<T>(DeviceByHandle(handle).Get(), iid);
    }
};

class TTarvoIntfHandler : public TSSDeviceIntfHandler {
public:
    // Releasing the table releases every Tarvo object as ReleaseTarvo does.
    ~TTarvoIntfHandler() override;

    virtual TIntfPtr<ITarvo> TarvoByHandle(uint32_t handle);
    virtual uint32_t AddTarvo(ITarvo* tarvo);
    // Takes the object off its stack (the stack and the object refer to each other), then
    // removes its entry; the object, its stack and its link go once nothing else holds
    // them. False for an unknown handle.
    bool ReleaseTarvo(uint32_t handle);
    void ReleaseAll();
};
