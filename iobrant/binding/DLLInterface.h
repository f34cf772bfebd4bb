#pragma once
// One Conduvex link, known by its Conduvex handle, driven as a communication interface of
// Iobrant's own. Transport calls go through the bound Conduvex functions; Conduvex's
// notifications for the handle (by callback, or by message 1091 sent to a hidden window
// of the creating thread) become the base class's announcements.
#include "CommunicationInterface.h"
#include "binding/IDLLInterface.h"
#include "binding/NotificationWindow.h"
#include "conduvex.h"

#include <cstdint>
#include <memory>
#include <string>

class TDLLInterface final : public TCommunicationInterface, public virtual IDLLInterface {
public:
    // WM_USER + 67: the message Conduvex sends to the hidden window.
    static constexpr UINT kNotificationMessage = 1091;

    // Each raises the binding's kept message when Conduvex is not bound, and Conduvex's
    // error when it refuses; nothing is left behind in Conduvex then.
    // A new link with window notifications (sent, or posted when `post`).
    static TIntfPtr<TDLLInterface> CreateM(const std::string& connectionString, bool post);
    // An existing link; notifications are sent to a hidden window of this thread.
    static TIntfPtr<TDLLInterface> AttachM(uint32_t handle, bool notOwned);
    // A new link with callback notifications.
    static TIntfPtr<TDLLInterface> CreateCB(const std::string& connectionString);
    // An existing link with callback notifications.
    static TIntfPtr<TDLLInterface> AttachCB(uint32_t handle, bool notOwned);

    bool IsActive() override;
    // Both raise Conduvex's error when it refuses.
    bool Open() override;
    bool Close() override;
    // The length written, 0 when Conduvex refused or anything failed; never raises.
    int32_t Write(const std::string& bytes) override;
    std::string Read() override;
    // Conduvex's count unchanged (negative on failure); never raises.
    int32_t ReadLength() override;
    std::string GetID() override;
    std::string GetDescription() override;
    bool GetValid() override;
    void SetValid(bool valid) override;
    bool ExecuteConfigDialog() override;
    bool ConfigDialogAvailable() override;
    uint32_t GetCIHandle() override { return handle_; }
    std::string GetProvider() override;

    // Announces kinds 256 (opened), 257 (closed), 258 (data), 260 (configuration) for this
    // object's handle; anything else is ignored.
    void HandleNotification(uint32_t handle, uint16_t kind, uint16_t data);
    // What finds this adapter in the registry of live adapters.
    uint32_t RegistryKey() const { return registryKey_; }
    // The hidden window on the message road; null on the callback road.
    HWND NotificationWindow() const { return window_ ? window_->Handle() : nullptr; }
    // At unload, once every adapter is gone.
    static void UnregisterWindowClass();

    std::string ClassName() const override { return "TDLLInterface"; }

protected:
    void* FindInterface(REFIID iid) override;

private:
    template <class T, class... Args>
    friend TIntfPtr<T> MakeObject(Args&&... args);

    TDLLInterface(bool withWindow, bool notOwned);
    ~TDLLInterface() override;

    static TIntfPtr<TDLLInterface> Make(bool withWindow, bool notOwned);
    // A create call gave 0: Conduvex's error, or a plain failure when it left none.
    static void RaiseCreateFailure();
    static void CI_CALL CallBack(CI_HANDLE handle, uint32_t kind, uint32_t data, uint32_t userData);
    static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void ForgetConduvexHandle();

    // The value Conduvex hands back with each notification (callback user data, window value).
    const uint32_t registryKey_;
    uint32_t handle_ = 0;
    bool notOwned_ = false;
    std::unique_ptr<TNotificationWindow> window_;
};
