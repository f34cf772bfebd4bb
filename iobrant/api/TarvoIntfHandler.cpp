#include "api/TarvoIntfHandler.h"

#include "CiEventers.h"

uint16_t TarvoChangeData(uint16_t position, bool newState, bool oldState)
{
    return static_cast<uint16_t>((position & 0xFF) | (2 * newState + oldState) << 8);
}

THandledTarvoObject::THandledTarvoObject(IUnknown* held)
    : THandledSSDObject(held), tarvo_(QueryAs<ITarvo>(held, IID_ITarvo))
{
    try {
        if (const auto stack = tarvo_ ? tarvo_->GetStack() : nullptr)
            link_ = stack->GetCommInterface();
        SetSubscriptions(true);
    } catch (...) {
        // The entry stands without the subscriptions it could not make.
    }
}

THandledTarvoObject::~THandledTarvoObject()
{
    try {
        SetSubscriptions(false);
    } catch (...) {
        // Nothing may leave a destructor.
    }
}

void THandledTarvoObject::SetSubscriptions(bool subscribe)
{
    if (!tarvo_)
        return;
    const auto apply = [subscribe](auto* eventer, auto handler) {
        if (subscribe)
            SubscribeEventer(eventer, handler);
        else
            UnsubscribeEventer(eventer, handler);
    };
    using T = THandledTarvoObject;
    apply(tarvo_->InputsChangedEventer(), MakeMethod<&T::OnGroupChanged<kTarvoNotifyInputsChanged>>(this));
    apply(tarvo_->InputChangedEventer(), MakeMethod<&T::OnOneChanged<kTarvoNotifyInputChanged>>(this));
    apply(tarvo_->OutputsChangedEventer(), MakeMethod<&T::OnGroupChanged<kTarvoNotifyOutputsChanged>>(this));
    apply(tarvo_->OutputChangedEventer(), MakeMethod<&T::OnOneChanged<kTarvoNotifyOutputChanged>>(this));
    if (!link_)
        return;
    apply(link_->OpenEventer(), MakeMethod<&T::OnLinkEvent<kTarvoNotifyLinkOpened>>(this));
    apply(link_->CloseEventer(), MakeMethod<&T::OnLinkEvent<kTarvoNotifyLinkClosed>>(this));
}

TIntfPtr<IVantelStackDevice> TSSDeviceIntfHandler::DeviceByIndex(int32_t index)
{
    return QueryAs<IVantelStackDevice>(InterfaceByIndex(index).Get(), IID_IVantelStackDevice);
}

TIntfPtr<IVantelStackDevice> TSSDeviceIntfHandler::DeviceByHandle(uint32_t handle)
{
    try {
        return QueryByHandle<IVantelStackDevice>(handle, IID_IVantelStackDevice);
    } catch (...) {
        return nullptr;
    }
}

uint32_t TSSDeviceIntfHandler::AddDevice(std::unique_ptr<THandledIntfObject> entry)
{
    return AddEntry(std::move(entry));
}

TTarvoIntfHandler::~TTarvoIntfHandler()
{
    ReleaseAll();
}

TIntfPtr<ITarvo> TTarvoIntfHandler::TarvoByHandle(uint32_t handle)
{
    try {
        return QueryDeviceByHandle<ITarvo>(handle, IID_ITarvo);
    } catch (...) {
        return nullptr;
    }
}

uint32_t TTarvoIntfHandler::AddTarvo(ITarvo* tarvo)
{
    return AddDevice(std::make_unique<THandledTarvoObject>(tarvo));
}

bool TTarvoIntfHandler::ReleaseTarvo(uint32_t handle)
{
    const TIntfPtr<ITarvo> tarvo = TarvoByHandle(handle);
    if (!tarvo)
        return RemoveHandle(handle);
    if (const auto stack = tarvo->GetStack())
        stack->RemoveDevice(tarvo.Get());
    return RemoveHandle(handle);
}

void TTarvoIntfHandler::ReleaseAll()
{
    while (Count() > 0)
        ReleaseTarvo(HandleByIndex(0));
}
