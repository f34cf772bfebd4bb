#include "iobrant/binding/FakeConduvex.h"
#include "iobrant/vantel/RecordingDevice.h"

#include "CiEventers.h"
#include "ConduvexError.h"
#include "binding/DLLInterface.h"
#include "binding/DLLInterfaceRegistry.h"
#include "vantel/VantelStack.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using fake_conduvex::kLinkHandle;
using fake_conduvex::State;

// Counts the adapter's announcements.
struct TAnnouncements {
    int opened = 0;
    int closed = 0;
    int data = 0;
    int configuration = 0;

    void OnOpen(ICommunicationInterface*) { ++opened; }
    void OnClose(ICommunicationInterface*) { ++closed; }
    void OnData(ICommunicationInterface*) { ++data; }
    void OnConfiguration(ICommunicationInterface*) { ++configuration; }

    void Listen(TDLLInterface& adapter)
    {
        adapter.OpenEventer()->Add(MakeMethod<&TAnnouncements::OnOpen>(this));
        adapter.CloseEventer()->Add(MakeMethod<&TAnnouncements::OnClose>(this));
        adapter.SetOnDataReceived(MakeMethod<&TAnnouncements::OnData>(this));
        adapter.ConfigChangedEventer()->Add(MakeMethod<&TAnnouncements::OnConfiguration>(this));
    }
};

LRESULT SendNotification(HWND window, uint32_t handle, uint16_t kind)
{
    return SendMessageA(window, TDLLInterface::kNotificationMessage, handle, MAKELPARAM(kind, 0));
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

class DLLInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override { fake_conduvex::Install(); }
};

TEST_F(DLLInterfaceTest, CallbackNotificationsBecomeAnnouncements)
{
    auto adapter = TDLLInterface::CreateCB("SERIAL_PORT;PORT=21");
    EXPECT_EQ(State().createdWith, "SERIAL_PORT;PORT=21");
    EXPECT_NE(0u, adapter->RegistryKey());
    EXPECT_EQ(State().userData, adapter->RegistryKey());
    EXPECT_EQ(adapter->GetCIHandle(), kLinkHandle);
    EXPECT_EQ(adapter->NotificationWindow(), nullptr);

    TAnnouncements seen;
    seen.Listen(*adapter);
    for (const uint32_t kind : {256u, 257u, 258u, 259u, 260u, 261u, 512u})
        fake_conduvex::NotifyByCallBack(kind);
    EXPECT_EQ(seen.opened, 1);
    EXPECT_EQ(seen.closed, 1);
    EXPECT_EQ(seen.data, 1);
    EXPECT_EQ(seen.configuration, 1);

    fake_conduvex::NotifyByCallBack(CI_NOTIFY_DATA_RECEIVED, kLinkHandle + 1);
    State().callback(kLinkHandle, CI_NOTIFY_DATA_RECEIVED, 0, 0);
    EXPECT_EQ(seen.data, 1);
}

TEST_F(DLLInterfaceTest, WindowNotificationsArriveOnTheCreatingThread)
{
    auto adapter = TDLLInterface::AttachM(kLinkHandle, true);
    const HWND window = adapter->NotificationWindow();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(State().window, window);
    EXPECT_EQ(State().message, 1091u);
    EXPECT_EQ(State().send, CI_TRUE);

    TAnnouncements seen;
    seen.Listen(*adapter);
    SendNotification(window, kLinkHandle, CI_NOTIFY_OPENED);
    SendNotification(window, kLinkHandle, CI_NOTIFY_DATA_RECEIVED);
    SendNotification(window, kLinkHandle + 1, CI_NOTIFY_DATA_RECEIVED);
    SendNotification(window, kLinkHandle, 259);
    EXPECT_EQ(seen.opened, 1);
    EXPECT_EQ(seen.data, 1);

    adapter.Reset();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(DLLInterfaceTest, CreatedLinksAskForSentOrPostedMessages)
{
    auto sent = TDLLInterface::CreateM("TCP_CLIENT", false);
    EXPECT_EQ(State().send, CI_TRUE);
    EXPECT_EQ(State().window, sent->NotificationWindow());
    auto posted = TDLLInterface::CreateM("TCP_CLIENT", true);
    EXPECT_EQ(State().send, CI_FALSE);
}

TEST_F(DLLInterfaceTest, ARefusedCreateOrAttachRaisesConduvexsError)
{
    State().createFails = true;
    try {
        TDLLInterface::CreateCB("nonsense");
        FAIL() << "a refused create did not raise";
    } catch (const EConduvexError& error) {
        EXPECT_STREQ(error.what(), "Bad parameters in connection string.");
    }
    EXPECT_THROW(TDLLInterface::CreateM("nonsense", false), EConduvexError);
    try {
        TDLLInterface::AttachCB(99, true);
        FAIL() << "attaching an unknown handle did not raise";
    } catch (const EConduvexError& error) {
        EXPECT_STREQ(error.what(), "Invalid handle.");
    }
    // Nothing was released for the handle that never became the adapter's.
    EXPECT_EQ(std::count(State().calls.begin(), State().calls.end(), "ciRelease"), 0);
}

TEST_F(DLLInterfaceTest, AnOwnedLinkIsReleasedAnAttachedOneOnlyLeft)
{
    TDLLInterface::CreateCB("SERIAL_PORT").Reset();
    EXPECT_EQ(State().calls.back(), "ciRelease");

    State().calls.clear();
    TDLLInterface::AttachCB(kLinkHandle, true).Reset();
    EXPECT_EQ(State().calls, (std::vector<std::string>{"ciRegisterCallBackNotifications",
                                                      "ciUnregisterCallBackNotifications"}));

    // Only the road the adapter registered is given up; the host keeps the other.
    State().calls.clear();
    TDLLInterface::AttachM(kLinkHandle, true).Reset();
    EXPECT_EQ(State().calls, (std::vector<std::string>{"ciRegisterMsgNotifications",
                                                      "ciUnregisterMsgNotifications"}));

    State().calls.clear();
    TDLLInterface::AttachM(kLinkHandle, false).Reset();
    EXPECT_EQ(State().calls.back(), "ciRelease");
}

TEST_F(DLLInterfaceTest, OnlyLiveAdaptersAreFoundAndFoundOnesAreHeld)
{
    auto adapter = TDLLInterface::AttachCB(kLinkHandle, true);
    auto other = TDLLInterface::AttachCB(kLinkHandle, true);
    const uint32_t key = adapter->RegistryKey();
    EXPECT_NE(key, other->RegistryKey());
    const LONG count = adapter->RefCount();
    {
        const auto found = TDLLInterfaceRegistry::Find(key);
        EXPECT_EQ(found.Get(), adapter.Get());
        EXPECT_EQ(adapter->RefCount(), count + 1);
    }
    EXPECT_EQ(TDLLInterfaceRegistry::Find(other->RegistryKey()).Get(), other.Get());
    EXPECT_FALSE(TDLLInterfaceRegistry::Find(0));
    adapter.Reset();
    EXPECT_FALSE(TDLLInterfaceRegistry::Find(key));
}

TEST_F(DLLInterfaceTest, NotificationsForAFreedAdapterAreDropped)
{
    auto adapter = TDLLInterface::AttachCB(kLinkHandle, true);
    adapter.Reset();
    // Conduvex still has the old registration in hand.
    EXPECT_NO_FATAL_FAILURE(fake_conduvex::NotifyByCallBack(CI_NOTIFY_DATA_RECEIVED));
    constexpr uint32_t kNoAdaptersKey = 0x7FFFFFFF;
    State().callback(kLinkHandle, CI_NOTIFY_DATA_RECEIVED, 0, kNoAdaptersKey);
}

TEST_F(DLLInterfaceTest, AdaptersFreedWhileNotificationsArriveOnAnotherThread)
{
    std::atomic<bool> stop = false;
    std::atomic<int> delivered = 0;
    auto first = TDLLInterface::AttachCB(kLinkHandle, true);
    std::thread notifier([&] {
        while (!stop) {
            fake_conduvex::NotifyByCallBack(CI_NOTIFY_DATA_RECEIVED);
            ++delivered;
        }
    });
    while (delivered < 10)
        Sleep(0);
    first.Reset();
    for (int i = 0; i < 200 || delivered < 2000; ++i) {
        auto adapter = TDLLInterface::AttachCB(kLinkHandle, true);
        Sleep(0);
    }
    stop = true;
    notifier.join();
}

TEST_F(DLLInterfaceTest, AWindowFreedOnAnotherThreadClosesOnItsOwnThread)
{
    auto adapter = TDLLInterface::AttachM(kLinkHandle, true);
    const HWND window = adapter->NotificationWindow();
    std::thread([adapter = std::move(adapter)]() mutable { adapter.Reset(); }).join();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(SendNotification(window, kLinkHandle, CI_NOTIFY_DATA_RECEIVED), 0);
    PumpMessages();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(DLLInterfaceTest, TransportGoesThroughConduvex)
{
    auto adapter = TDLLInterface::AttachCB(kLinkHandle, true);
    EXPECT_FALSE(adapter->IsActive());
    adapter->Open();
    EXPECT_TRUE(adapter->IsActive());
    EXPECT_EQ(adapter->Write("abc"), 3);
    State().refuseWrite = true;
    EXPECT_EQ(adapter->Write("def"), 0);
    EXPECT_EQ(State().written, "abc");

    State().incoming = "xyz";
    EXPECT_EQ(adapter->ReadLength(), 3);
    EXPECT_EQ(adapter->Read(), "xyz");
    EXPECT_EQ(adapter->GetID(), "COM21");
    EXPECT_EQ(adapter->GetDescription(), "Serial port COM21");
    EXPECT_EQ(adapter->GetProvider(), "SERIAL_PORT");
    EXPECT_EQ(adapter->GetConnectionString(), "");
    EXPECT_TRUE(adapter->GetValid());
    EXPECT_TRUE(adapter->ConfigDialogAvailable());

    State().refuseOpen = true;
    adapter->Close();
    EXPECT_THROW(adapter->Open(), EConduvexError);
    EXPECT_FALSE(adapter->IsActive());

    auto asked = QueryAs<IDLLInterface>(static_cast<ICommunicationInterface*>(adapter.Get()), IID_IDLLInterface);
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->GetCIHandle(), kLinkHandle);
}

// The stack on an adapter: data notifications reach the device, exchanges take answers.
TEST_F(DLLInterfaceTest, AStackRunsOverTheAdapter)
{
    auto adapter = TDLLInterface::AttachCB(kLinkHandle, true);
    adapter->Open();
    auto stack = MakeObject<TVantelStack>();
    stack->SetCommInterface(adapter.Get());
    auto module = MakeObject<TRecordingDevice>(3);
    stack->AddDevice(module.Get());

    State().incoming = BuildVantel97(3, 1, 13, "\x01");
    fake_conduvex::NotifyByCallBack(CI_NOTIFY_DATA_RECEIVED);
    EXPECT_EQ(module->Automatic().size(), 1u);

    State().replyOnWrite = BuildVantel97(3, 0, 0, "ident");
    std::string reply;
    EXPECT_TRUE(module->GetIdentificationText(reply));
    EXPECT_EQ(reply, "ident");
    EXPECT_EQ(State().written, BuildVantel97(3, 0, 0xF3, {}));

    stack->RemoveDevice(module.Get());
    stack->SetCommInterface(nullptr);
}

} // namespace
