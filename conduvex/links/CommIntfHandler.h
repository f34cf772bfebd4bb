#pragma once
// The handle table of communication links: each entry forwards its link's opened, closed,
// data-received and configuration-changed events to the host as notifications.
#include "ICommunicationInterface.h"
#include "InterfaceHandler.h"

#include <cstdint>

// Notification kinds of a link (data is always 0). 259 is reserved and never sent; line
// state changes are not forwarded.
enum TCiNotifyKind : uint16_t {
    kCiNotifyOpened = 256,
    kCiNotifyClosed = 257,
    kCiNotifyDataReceived = 258,
    kCiNotifyConfigChanged = 260,
};

class THandledCommObject : public THandledIntfEvntObject {
public:
    explicit THandledCommObject(IUnknown* held);
    ~THandledCommObject() override;

private:
    template <TCiNotifyKind Kind>
    void Forward(ICommunicationInterface*)
    {
        Notify(Kind, 0);
    }
    void SetSubscriptions(bool subscribe);
};

class TCommIntfHandler : public TInterfaceEvntHandler {
public:
    // Nil when absent or not a communication link.
    TIntfPtr<ICommunicationInterface> CommInterfaceByIndex(int32_t index) const;
    TIntfPtr<ICommunicationInterface> CommInterfaceByHandle(uint32_t handle) const;
    uint32_t AddCommInterface(IUnknown* link);
};
