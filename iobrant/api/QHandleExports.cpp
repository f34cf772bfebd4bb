// Creating and releasing Tarvo objects, their link, their notifications and the handles.
#include "binding/IDLLInterface.h"
#include "api/IobrantApiFrame.h"
#include "api/TarvoCreation.h"
#include "iobrant.h"

namespace {

// The link under the object's stack; "Required data not available." when it has none.
TIntfPtr<ICommunicationInterface> RequireLink(ITarvo& tarvo)
{
    const auto stack = tarvo.GetStack();
    TIntfPtr<ICommunicationInterface> link = stack ? stack->GetCommInterface() : nullptr;
    if (!link)
        RaiseCode(kErrDataNotAvailable);
    return link;
}

} // namespace

extern "C" Q_HANDLE Q_CALL qCreateTarvo(const char* connectionString, const char* parameters)
{
    return CreateTarvoOnNewLink(connectionString, parameters, Q_KIND_MESSAGE);
}

extern "C" Q_HANDLE Q_CALL qCreateTarvoEx(const char* connectionString, const char* parameters, int32_t kind)
{
    return CreateTarvoOnNewLink(connectionString, parameters, kind);
}

extern "C" Q_HANDLE Q_CALL qCreateTarvoCI(uint32_t conduvexHandle, const char* parameters)
{
    return CreateTarvoOnHostLink(conduvexHandle, parameters, Q_KIND_MESSAGE);
}

extern "C" Q_HANDLE Q_CALL qCreateTarvoCIEx(uint32_t conduvexHandle, const char* parameters, int32_t kind)
{
    return CreateTarvoOnHostLink(conduvexHandle, parameters, kind);
}

extern "C" uint32_t Q_CALL qReleaseTarvo(Q_HANDLE handle)
{
    return QCallTarvo(handle, [&](ITarvo&) -> uint32_t {
        TarvoHandles().ReleaseTarvo(handle);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qGetTarvoCIHandle(Q_HANDLE handle)
{
    return QCallTarvoValue(handle, 0u, [&](ITarvo& tarvo) -> uint32_t {
        const auto stack = tarvo.GetStack();
        const auto link = stack ? stack->GetCommInterface() : nullptr;
        const auto adapter = QueryAs<IDLLInterface>(link.Get(), IID_IDLLInterface);
        return adapter ? adapter->GetCIHandle() : 0;
    });
}

extern "C" uint32_t Q_CALL qOpen(Q_HANDLE handle)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        RequireLink(tarvo)->Open();
        return 0;
    });
}

extern "C" uint32_t Q_CALL qClose(Q_HANDLE handle)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        RequireLink(tarvo)->Close();
        return 0;
    });
}

extern "C" uint32_t Q_CALL qIsOpened(Q_HANDLE handle, Q_BOOL* active)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(active);
        PutBool(active, RequireLink(tarvo)->IsActive());
        return 0;
    });
}

extern "C" uint32_t Q_CALL qRegisterMsgNotifications(Q_HANDLE handle, HWND window, uint32_t message, int32_t)
{
    return QCallTarvo(handle, [&](ITarvo&) -> uint32_t {
        TarvoHandles().RegisterMsgNotifications(handle, window, message, true);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qUnregisterMsgNotifications(Q_HANDLE handle)
{
    return QCallTarvo(handle, [&](ITarvo&) -> uint32_t {
        TarvoHandles().UnregisterMsgNotifications(handle);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qRegisterCallBackNotifications(Q_HANDLE handle, Q_NOTIFY_CALLBACK callback,
                                                          uint32_t userData)
{
    return QCallTarvo(handle, [&](ITarvo&) -> uint32_t {
        TarvoHandles().RegisterCallBackNotifications(handle, callback, userData);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qUnregisterCallBackNotifications(Q_HANDLE handle)
{
    return QCallTarvo(handle, [&](ITarvo&) -> uint32_t {
        TarvoHandles().UnregisterCallBackNotifications(handle);
        return 0;
    });
}

extern "C" Q_HANDLE Q_CALL qHandleByIndex(int32_t index)
{
    return QCallValue(0u, [&]() -> Q_HANDLE {
        TTarvoIntfHandler& handles = TarvoHandles();
        if (index < 0 || index >= handles.Count()) {
            Fail(kErrIndexOutOfBand);
            return 0;
        }
        return handles.HandleByIndex(index);
    });
}

extern "C" int32_t Q_CALL qHandlesCount()
{
    return QCallValue(-1, [] { return TarvoHandles().Count(); });
}
