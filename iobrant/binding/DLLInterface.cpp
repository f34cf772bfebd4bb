#include "binding/DLLInterface.h"

#include "binding/ConduvexBinding.h"
#include "ConduvexError.h"
#include "binding/DLLInterfaceRegistry.h"

namespace {

constexpr const char* kWindowClass = "IobrantDLLInterfaceWindow";

enum : uint16_t {
    kNotifyOpened = CI_NOTIFY_OPENED,
    kNotifyClosed = CI_NOTIFY_CLOSED,
    kNotifyDataReceived = CI_NOTIFY_DATA_RECEIVED,
    kNotifyConfigChanged = CI_NOTIFY_CONFIG_CHANGED,
};

// Runs a notification on the adapter registered with that key, holding a reference to it
// for the call. Nothing raised may return into Conduvex or the system.
void NotifyAdapter(uint32_t key, uint32_t handle, uint16_t kind, uint16_t data)
{
    try {
        if (const auto adapter = TDLLInterfaceRegistry::Find(key))
            adapter->HandleNotification(handle, kind, data);
    } catch (...) {
        // A notification has nobody to report to.
    }
}

} // namespace

TDLLInterface::TDLLInterface(bool withWindow, bool notOwned)
    : registryKey_(TDLLInterfaceRegistry::NewKey()), notOwned_(notOwned)
{
    if (withWindow)
        window_ = std::make_unique<TNotificationWindow>(kWindowClass, &TDLLInterface::WndProc,
                                                        static_cast<LONG_PTR>(registryKey_));
}

TDLLInterface::~TDLLInterface()
{
    TDLLInterfaceRegistry::Remove(this);
    ForgetConduvexHandle();
}

void TDLLInterface::ForgetConduvexHandle()
{
    if (handle_ == 0)
        return;
    try {
        const TConduvexFunctions& f = ProcessConduvex().Functions();
        if (notOwned_) {
            // The link stays in Conduvex for its owner, who keeps whatever it registered on
            // the road this adapter did not use.
            if (window_)
                f.ciUnregisterMsgNotifications(handle_);
            else
                f.ciUnregisterCallBackNotifications(handle_);
        } else {
            f.ciRelease(handle_);
        }
    } catch (...) {
        // Freeing goes on whatever Conduvex says.
    }
    handle_ = 0;
}

void TDLLInterface::UnregisterWindowClass()
{
    TNotificationWindow::ForgetClass(kWindowClass);
}

TIntfPtr<TDLLInterface> TDLLInterface::Make(bool withWindow, bool notOwned)
{
    ProcessConduvex().EnsureBound();
    // Notifications find the adapter only once it is whole.
    auto adapter = MakeObject<TDLLInterface>(withWindow, notOwned);
    TDLLInterfaceRegistry::Add(adapter.Get());
    return adapter;
}

void TDLLInterface::RaiseCreateFailure()
{
    ProcessConduvex().RaiseConduvexError();
    throw EConduvexError(std::string(ResultCodeText(kErrConnectionFailure)), kErrConnectionFailure);
}

TIntfPtr<TDLLInterface> TDLLInterface::CreateM(const std::string& connectionString, bool post)
{
    auto adapter = Make(true, false);
    adapter->handle_ = ProcessConduvex().Functions().ciCreateM(
        connectionString.c_str(), adapter->NotificationWindow(), kNotificationMessage, post ? CI_FALSE : CI_TRUE);
    if (adapter->handle_ == 0)
        RaiseCreateFailure();
    return adapter;
}

TIntfPtr<TDLLInterface> TDLLInterface::AttachM(uint32_t handle, bool notOwned)
{
    auto adapter = Make(true, notOwned);
    if (ProcessConduvex().Functions().ciRegisterMsgNotifications(handle, adapter->NotificationWindow(),
                                                                  kNotificationMessage, CI_TRUE) != CI_OK)
        ProcessConduvex().RaiseConduvexError();
    adapter->handle_ = handle;
    return adapter;
}

TIntfPtr<TDLLInterface> TDLLInterface::CreateCB(const std::string& connectionString)
{
    auto adapter = Make(false, false);
    adapter->handle_ =
        ProcessConduvex().Functions().ciCreateCB(connectionString.c_str(), &TDLLInterface::CallBack, adapter->registryKey_);
    if (adapter->handle_ == 0)
        RaiseCreateFailure();
    return adapter;
}

TIntfPtr<TDLLInterface> TDLLInterface::AttachCB(uint32_t handle, bool notOwned)
{
    auto adapter = Make(false, notOwned);
    if (ProcessConduvex().Functions().ciRegisterCallBackNotifications(handle, &TDLLInterface::CallBack,
                                                                       adapter->registryKey_) != CI_OK)
        ProcessConduvex().RaiseConduvexError();
    adapter->handle_ = handle;
    return adapter;
}

void CI_CALL TDLLInterface::CallBack(CI_HANDLE handle, uint32_t kind, uint32_t data, uint32_t userData)
{
    if (userData == 0)
        return;
    NotifyAdapter(userData, handle, static_cast<uint16_t>(kind), static_cast<uint16_t>(data));
}

LRESULT CALLBACK TDLLInterface::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kNotificationMessage)
        return DefWindowProcA(window, message, wParam, lParam);
    const LONG_PTR userData = TNotificationWindow::UserDataOf(window);
    if (userData != 0)
        NotifyAdapter(static_cast<uint32_t>(userData), static_cast<uint32_t>(wParam), LOWORD(lParam),
                      HIWORD(lParam));
    return 0;
}

void* TDLLInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IDLLInterface))
        return static_cast<IDLLInterface*>(this);
    return TCommunicationInterface::FindInterface(iid);
}

void TDLLInterface::HandleNotification(uint32_t handle, uint16_t kind, uint16_t)
{
    if (handle == 0 || handle != handle_)
        return;
    switch (kind) {
    case kNotifyOpened:
        DoOpen();
        break;
    case kNotifyClosed:
        DoClose();
        break;
    case kNotifyDataReceived:
        // The receivers read what is waiting themselves.
        DoDataReceived();
        break;
    case kNotifyConfigChanged:
        DoConfigChanged();
        break;
    default:
        break;
    }
}

bool TDLLInterface::IsActive()
{
    return ProcessConduvex().IsActive(handle_);
}

bool TDLLInterface::Open()
{
    return ProcessConduvex().Open(handle_);
}

bool TDLLInterface::Close()
{
    return ProcessConduvex().Close(handle_);
}

int32_t TDLLInterface::Write(const std::string& bytes)
{
    try {
        return ProcessConduvex().Write(handle_, bytes) ? static_cast<int32_t>(bytes.size()) : 0;
    } catch (...) {
        return 0;
    }
}

std::string TDLLInterface::Read()
{
    return ProcessConduvex().Read(handle_);
}

int32_t TDLLInterface::ReadLength()
{
    try {
        return ProcessConduvex().Functions().ciReadLength(handle_);
    } catch (...) {
        return -1;
    }
}

std::string TDLLInterface::GetID()
{
    return ProcessConduvex().GetID(handle_);
}

std::string TDLLInterface::GetDescription()
{
    return ProcessConduvex().GetDescription(handle_);
}

std::string TDLLInterface::GetProvider()
{
    return ProcessConduvex().GetProvider(handle_);
}

bool TDLLInterface::GetValid()
{
    return ProcessConduvex().GetValid(handle_);
}

void TDLLInterface::SetValid(bool valid)
{
    ProcessConduvex().SetValid(handle_, valid);
}

bool TDLLInterface::ExecuteConfigDialog()
{
    return ProcessConduvex().Functions().ciExecuteConfigDialog(handle_) != 0;
}

bool TDLLInterface::ConfigDialogAvailable()
{
    return ProcessConduvex().Functions().ciConfigDialogAvailable(handle_) != 0;
}
