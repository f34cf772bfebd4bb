#include "InterfaceHandler.h"
#include "support/RecordedNotifications.h"
#include "support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// {0C7D8B1E-5A43-4F0B-9E7A-2B61C4D3E501}
constexpr GUID IID_ITestFirst = {
    0x0C7D8B1E, 0x5A43, 0x4F0B, {0x9E, 0x7A, 0x2B, 0x61, 0xC4, 0xD3, 0xE5, 0x01}};
// {0C7D8B1E-5A43-4F0B-9E7A-2B61C4D3E502}
constexpr GUID IID_ITestSecond = {
    0x0C7D8B1E, 0x5A43, 0x4F0B, {0x9E, 0x7A, 0x2B, 0x61, 0xC4, 0xD3, 0xE5, 0x02}};
// {0C7D8B1E-5A43-4F0B-9E7A-2B61C4D3E503}
constexpr GUID IID_ITestMissing = {
    0x0C7D8B1E, 0x5A43, 0x4F0B, {0x9E, 0x7A, 0x2B, 0x61, 0xC4, 0xD3, 0xE5, 0x03}};

struct ITestFirst : public virtual IUnknown {
    virtual int First() = 0;
};
struct ITestSecond : public virtual IUnknown {
    virtual int Second() = 0;
};

// Two interfaces on one object, and a flag that tells when it was freed.
class TTestObject : public TMyInterfacedObject, public ITestFirst, public ITestSecond {
public:
    explicit TTestObject(bool* freed = nullptr) : freed_(freed) {}
    ~TTestObject() override
    {
        if (freed_)
            *freed_ = true;
    }
    int First() override { return 1; }
    int Second() override { return 2; }

protected:
    void* FindInterface(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_ITestFirst))
            return static_cast<ITestFirst*>(this);
        if (IsEqualIID(iid, IID_ITestSecond))
            return static_cast<ITestSecond*>(this);
        return TMyInterfacedObject::FindInterface(iid);
    }

private:
    bool* freed_;
};

uint32_t AddressOf(IUnknown* unknown)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(unknown));
}

TEST(InterfaceHandlerTest, HandleIsTheIUnknownAddressFoundFromEveryInterface)
{
    TInterfaceHandler table;
    const auto object = MakeObject<TTestObject>();
    const uint32_t handle = table.Add(static_cast<ITestSecond*>(object.Get()));

    EXPECT_EQ(AddressOf(static_cast<IUnknown*>(object.Get())), handle);
    EXPECT_NE(0u, handle);
    EXPECT_EQ(handle, table.HandleOf(static_cast<ITestFirst*>(object.Get())));
    EXPECT_EQ(handle, table.HandleOf(static_cast<ITestSecond*>(object.Get())));
    EXPECT_TRUE(table.IsValidHandle(handle));
    EXPECT_EQ(AddressOf(static_cast<IUnknown*>(object.Get())),
              AddressOf(table.InterfaceByHandle(handle).Get()));
}

TEST(InterfaceHandlerTest, IndexesOutsideTheTableGiveNothing)
{
    TInterfaceHandler table;
    const auto first = MakeObject<TTestObject>();
    const auto second = MakeObject<TTestObject>();
    const uint32_t firstHandle = table.Add(first.Get());
    const uint32_t secondHandle = table.Add(second.Get());

    ASSERT_EQ(2, table.Count());
    EXPECT_EQ(firstHandle, table.HandleByIndex(0));
    EXPECT_EQ(secondHandle, table.HandleByIndex(1));
    EXPECT_EQ(0u, table.HandleByIndex(2));
    EXPECT_EQ(0u, table.HandleByIndex(-1));
    EXPECT_FALSE(table.InterfaceByIndex(2));
    EXPECT_FALSE(table.InterfaceByIndex(-1));
    EXPECT_TRUE(table.InterfaceByIndex(1));
}

TEST(InterfaceHandlerTest, UnknownHandlesAndObjectsGiveNothing)
{
    TInterfaceHandler table;
    const auto held = MakeObject<TTestObject>();
    const auto stranger = MakeObject<TTestObject>();
    table.Add(held.Get());

    EXPECT_FALSE(table.IsValidHandle(0));
    EXPECT_FALSE(table.IsValidHandle(AddressOf(stranger.Get())));
    EXPECT_FALSE(table.InterfaceByHandle(0));
    EXPECT_EQ(0u, table.HandleOf(stranger.Get()));
    EXPECT_EQ(0u, table.HandleOf(nullptr));
    EXPECT_FALSE(table.RemoveInterface(stranger.Get()));
    EXPECT_FALSE(table.RemoveHandle(0));
    EXPECT_EQ(1, table.Count());
}

TEST(InterfaceHandlerTest, NothingToHoldGivesNoHandle)
{
    TInterfaceHandler table;
    EXPECT_EQ(0u, table.AddEntry(nullptr));
    EXPECT_EQ(0u, table.Add(nullptr));
    EXPECT_EQ(0, table.Count());
}

TEST(InterfaceHandlerTest, QueryByHandleAsksTheHeldObject)
{
    TInterfaceHandler table;
    const auto object = MakeObject<TTestObject>();
    const uint32_t handle = table.Add(static_cast<ITestFirst*>(object.Get()));

    const auto second = table.QueryByHandle<ITestSecond>(handle, IID_ITestSecond);
    ASSERT_TRUE(second);
    EXPECT_EQ(2, second->Second());
    EXPECT_FALSE(table.QueryByHandle<IUnknown>(handle, IID_ITestMissing));
    EXPECT_FALSE(table.QueryByHandle<ITestSecond>(handle + 4, IID_ITestSecond));
}

TEST(InterfaceHandlerTest, RemovingFreesTheObjectOnceAndOnlyOnce)
{
    TInterfaceHandler table;
    bool freed = false;
    uint32_t handle = 0;
    {
        const auto object = MakeObject<TTestObject>(&freed);
        handle = table.Add(object.Get());
    }
    EXPECT_FALSE(freed) << "the table keeps a reference";

    EXPECT_TRUE(table.RemoveHandle(handle));
    EXPECT_TRUE(freed);
    EXPECT_FALSE(table.RemoveHandle(handle));
    EXPECT_EQ(0, table.Count());
}

TEST(InterfaceHandlerTest, RemoveInterfaceFindsTheEntryThroughAnotherInterface)
{
    TInterfaceHandler table;
    const auto object = MakeObject<TTestObject>();
    table.Add(static_cast<ITestFirst*>(object.Get()));

    EXPECT_TRUE(table.RemoveInterface(static_cast<ITestSecond*>(object.Get())));
    EXPECT_EQ(0, table.Count());
    EXPECT_EQ(1, object->RefCount());
}

TEST(InterfaceHandlerTest, AnObjectAddedTwiceHasTwoEntriesFoundInOrder)
{
    TInterfaceHandler table;
    const auto object = MakeObject<TTestObject>();
    const uint32_t first = table.Add(object.Get());
    const uint32_t second = table.Add(object.Get());

    EXPECT_EQ(first, second);
    EXPECT_EQ(2, table.Count());
    EXPECT_TRUE(table.RemoveHandle(first));
    EXPECT_TRUE(table.IsValidHandle(first)) << "the second entry remains";
    EXPECT_TRUE(table.RemoveHandle(first));
    EXPECT_FALSE(table.IsValidHandle(first));
}

TEST(InterfaceHandlerTest, ClearAndDestructionFreeEveryObject)
{
    bool firstFreed = false;
    bool secondFreed = false;
    bool thirdFreed = false;
    {
        TInterfaceHandler table;
        table.Add(MakeObject<TTestObject>(&firstFreed).Get());
        table.Add(MakeObject<TTestObject>(&secondFreed).Get());
        table.Clear();
        EXPECT_EQ(0, table.Count());
        EXPECT_TRUE(firstFreed);
        EXPECT_TRUE(secondFreed);
        table.Add(MakeObject<TTestObject>(&thirdFreed).Get());
        EXPECT_FALSE(thirdFreed);
    }
    EXPECT_TRUE(thirdFreed);
}

// Notifications -------------------------------------------------------------------------

constexpr UINT kTestMessage = WM_USER + 7;

class NotifyingEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecordedNotifications().clear();
        auto created = std::make_unique<THandledIntfEvntObject>(object_.Get());
        entry_ = created.get();
        handle_ = table_.AddEntry(std::move(created));
    }

    TIntfPtr<TTestObject> object_ = MakeObject<TTestObject>();
    TInterfaceEvntHandler table_;
    THandledIntfEvntObject* entry_ = nullptr;
    uint32_t handle_ = 0;
    TRecordingWindow window_;
};

TEST_F(NotifyingEntryTest, CallbackGetsHandleKindDataAndUserData)
{
    table_.RegisterCallBackNotifications(handle_, &RecordNotification, 0xCAFE);
    entry_->Notify(258, 0x1234);

    ASSERT_EQ(1u, RecordedNotifications().size());
    EXPECT_EQ(handle_, RecordedNotifications()[0].handle);
    EXPECT_EQ(258u, RecordedNotifications()[0].kind);
    EXPECT_EQ(0x1234u, RecordedNotifications()[0].data);
    EXPECT_EQ(0xCAFEu, RecordedNotifications()[0].userData);
}

TEST_F(NotifyingEntryTest, PostedMessageCarriesHandleAndPackedKindAndData)
{
    table_.RegisterMsgNotifications(handle_, window_.Handle(), kTestMessage, false);
    entry_->Notify(514, 0x0203);
    EXPECT_TRUE(window_.Received().empty()) << "a post does not wait for the window";

    window_.Pump();
    ASSERT_EQ(1u, window_.Received().size());
    EXPECT_EQ(kTestMessage, window_.Received()[0].message);
    EXPECT_EQ(handle_, window_.Received()[0].wParam);
    EXPECT_EQ(514 + 0x0203 * 65536, window_.Received()[0].lParam);
}

TEST_F(NotifyingEntryTest, SentMessageArrivesBeforeNotifyReturns)
{
    table_.RegisterMsgNotifications(handle_, window_.Handle(), kTestMessage, true);
    entry_->Notify(256, 0);

    ASSERT_EQ(1u, window_.Received().size());
    EXPECT_EQ(256, window_.Received()[0].lParam);
}

const TRecordingWindow* observedWindow = nullptr;
size_t messagesSeenByCallback = 0;

void __stdcall CountMessagesSoFar(uint32_t, uint32_t, uint32_t, uint32_t)
{
    messagesSeenByCallback = observedWindow->Received().size();
}

TEST_F(NotifyingEntryTest, CallbackComesBeforeTheMessage)
{
    observedWindow = &window_;
    messagesSeenByCallback = 99;
    table_.RegisterMsgNotifications(handle_, window_.Handle(), kTestMessage, true);
    table_.RegisterCallBackNotifications(handle_, &CountMessagesSoFar, 0);
    entry_->Notify(257, 0);

    EXPECT_EQ(0u, messagesSeenByCallback);
    EXPECT_EQ(1u, window_.Received().size());
}

TEST_F(NotifyingEntryTest, WindowMinusOneOrMessageZeroIsStoredButDeliversNothing)
{
    const HWND invalidWindow = reinterpret_cast<HWND>(INVALID_HANDLE_VALUE);
    table_.RegisterCallBackNotifications(handle_, &RecordNotification, 0);
    table_.RegisterMsgNotifications(handle_, invalidWindow, kTestMessage, true);
    entry_->Notify(258, 0);

    HWND window = nullptr;
    UINT message = 0;
    bool send = false;
    ASSERT_TRUE(table_.GetMsgNotifications(handle_, window, message, send));
    EXPECT_EQ(invalidWindow, window);

    table_.RegisterMsgNotifications(handle_, window_.Handle(), 0, false);
    entry_->Notify(258, 0);
    window_.Pump();

    EXPECT_TRUE(window_.Received().empty());
    EXPECT_EQ(2u, RecordedNotifications().size()) << "the callback road works on";
}

TEST_F(NotifyingEntryTest, RegistrationsReadBackAsRegistered)
{
    table_.RegisterMsgNotifications(handle_, window_.Handle(), kTestMessage, true);
    table_.RegisterCallBackNotifications(handle_, &RecordNotification, 77);

    HWND window = nullptr;
    UINT message = 0;
    bool send = false;
    ASSERT_TRUE(table_.GetMsgNotifications(handle_, window, message, send));
    EXPECT_EQ(window_.Handle(), window);
    EXPECT_EQ(kTestMessage, message);
    EXPECT_TRUE(send);

    table_.RegisterMsgNotifications(handle_, window_.Handle(), kTestMessage + 1, false);
    ASSERT_TRUE(table_.GetMsgNotifications(handle_, window, message, send));
    EXPECT_EQ(kTestMessage + 1, message) << "registering again replaces";
    EXPECT_FALSE(send);

    TCiNotifyCallback callback = nullptr;
    uint32_t userData = 0;
    ASSERT_TRUE(table_.GetCallBackNotifications(handle_, callback, userData));
    EXPECT_EQ(&RecordNotification, callback);
    EXPECT_EQ(77u, userData);
}

TEST_F(NotifyingEntryTest, NoRegistrationLeavesTheCallersVariablesAlone)
{
    const auto sentinelCallback = reinterpret_cast<TCiNotifyCallback>(0x1111);
    TCiNotifyCallback callback = sentinelCallback;
    uint32_t userData = 0x2222;
    HWND window = reinterpret_cast<HWND>(0x3333);
    UINT message = 0x4444;
    bool send = true;

    EXPECT_FALSE(table_.GetCallBackNotifications(handle_, callback, userData));
    EXPECT_FALSE(table_.GetMsgNotifications(handle_, window, message, send));
    EXPECT_FALSE(table_.GetCallBackNotifications(handle_ + 4, callback, userData));
    EXPECT_EQ(sentinelCallback, callback);
    EXPECT_EQ(0x2222u, userData);
    EXPECT_EQ(reinterpret_cast<HWND>(0x3333), window);
    EXPECT_EQ(0x4444u, message);
    EXPECT_TRUE(send);
}

TEST_F(NotifyingEntryTest, UnregisteringStopsEachRoad)
{
    table_.RegisterMsgNotifications(handle_, window_.Handle(), kTestMessage, true);
    table_.RegisterCallBackNotifications(handle_, &RecordNotification, 0);
    table_.UnregisterCallBackNotifications(handle_);
    entry_->Notify(258, 0);
    EXPECT_TRUE(RecordedNotifications().empty());
    EXPECT_EQ(1u, window_.Received().size());

    table_.RegisterCallBackNotifications(handle_, &RecordNotification, 0);
    table_.UnregisterMsgNotifications(handle_);
    entry_->Notify(258, 0);
    EXPECT_EQ(1u, RecordedNotifications().size());
    EXPECT_EQ(1u, window_.Received().size());

    table_.RegisterMsgNotifications(handle_, window_.Handle(), kTestMessage, true);
    table_.UnregisterAllNotifications(handle_);
    entry_->Notify(258, 0);
    EXPECT_EQ(1u, RecordedNotifications().size());
    EXPECT_EQ(1u, window_.Received().size());
}

TEST_F(NotifyingEntryTest, EntriesThatCannotNotifyIgnoreRegistrations)
{
    const auto plain = MakeObject<TTestObject>();
    const uint32_t plainHandle = table_.Add(plain.Get());
    table_.RegisterCallBackNotifications(plainHandle, &RecordNotification, 1);

    TCiNotifyCallback callback = nullptr;
    uint32_t userData = 0;
    EXPECT_FALSE(table_.GetCallBackNotifications(plainHandle, callback, userData));
}

TInterfaceEvntHandler* tableOfCallback = nullptr;

void __stdcall RemoveOwnHandle(uint32_t handle, uint32_t, uint32_t, uint32_t)
{
    tableOfCallback->RemoveHandle(handle);
}

// The callback frees the entry (and its object) while the entry is notifying.
TEST_F(NotifyingEntryTest, CallbackMayRemoveItsOwnHandleDuringTheNotification)
{
    tableOfCallback = &table_;
    bool freed = false;
    auto object = MakeObject<TTestObject>(&freed);
    auto created = std::make_unique<THandledIntfEvntObject>(object.Get());
    THandledIntfEvntObject* entry = created.get();
    const uint32_t handle = table_.AddEntry(std::move(created));
    object.Reset();
    table_.RegisterMsgNotifications(handle, window_.Handle(), kTestMessage, false);
    table_.RegisterCallBackNotifications(handle, &RemoveOwnHandle, 0);

    entry->Notify(258, 0);

    EXPECT_TRUE(freed);
    EXPECT_FALSE(table_.IsValidHandle(handle));
    window_.Pump();
    ASSERT_EQ(1u, window_.Received().size()) << "the notification in progress completes";
    EXPECT_EQ(handle, window_.Received()[0].wParam);
}

} // namespace
