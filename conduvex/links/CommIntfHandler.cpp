#include "links/CommIntfHandler.h"

#include "CiEventers.h"

THandledCommObject::THandledCommObject(IUnknown* held) : THandledIntfEvntObject(held)
{
    SetSubscriptions(true);
}

THandledCommObject::~THandledCommObject()
{
    SetSubscriptions(false);
}

void THandledCommObject::SetSubscriptions(bool subscribe)
{
    const auto link = QueryAs<ICommunicationInterface>(GetInterface().Get(),
                                                       IID_ICommunicationInterface);
    if (!link)
        return;
    const struct {
        TeventerCiNotify* (ICommunicationInterface::*eventer)();
        TCiNotifyMethod handler;
    } forwarded[] = {
        {&ICommunicationInterface::OpenEventer,
         MakeMethod<&THandledCommObject::Forward<kCiNotifyOpened>>(this)},
        {&ICommunicationInterface::CloseEventer,
         MakeMethod<&THandledCommObject::Forward<kCiNotifyClosed>>(this)},
        {&ICommunicationInterface::DataReceivedEventer,
         MakeMethod<&THandledCommObject::Forward<kCiNotifyDataReceived>>(this)},
        {&ICommunicationInterface::ConfigChangedEventer,
         MakeMethod<&THandledCommObject::Forward<kCiNotifyConfigChanged>>(this)},
    };
    for (const auto& event : forwarded) {
        TeventerCiNotify* eventer = (link.Get()->*event.eventer)();
        if (subscribe)
            SubscribeEventer(eventer, event.handler);
        else
            UnsubscribeEventer(eventer, event.handler);
    }
}

TIntfPtr<ICommunicationInterface> TCommIntfHandler::CommInterfaceByIndex(int32_t index) const
{
    return QueryAs<ICommunicationInterface>(InterfaceByIndex(index).Get(),
                                            IID_ICommunicationInterface);
}

TIntfPtr<ICommunicationInterface> TCommIntfHandler::CommInterfaceByHandle(uint32_t handle) const
{
    return QueryByHandle<ICommunicationInterface>(handle, IID_ICommunicationInterface);
}

uint32_t TCommIntfHandler::AddCommInterface(IUnknown* link)
{
    return AddEntry(std::make_unique<THandledCommObject>(link));
}
