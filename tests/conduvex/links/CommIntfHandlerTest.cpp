#include "links/CommIntfHandler.h"
#include "CiEventers.h"
#include "common/FakeLink.h"
#include "support/RecordedNotifications.h"
#include "support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kLinkMessage = WM_USER + 21;

TCommIntfHandler* tableOfCallback = nullptr;

void __stdcall ReleaseOwnHandle(uint32_t handle, uint32_t kind, uint32_t data, uint32_t userData)
{
    RecordNotification(handle, kind, data, userData);
    tableOfCallback->RemoveHandle(handle);
}

// Reference counted, but no link.
class TPlainObject : public TMyInterfacedObject {};

uint32_t AddressOf(IUnknown* unknown)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(unknown));
}

class CommIntfHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecordedNotifications().clear();
        handle_ = table_.AddCommInterface(static_cast<ICommunicationInterface*>(link_.Get()));
    }

    size_t ForwardedSubscriptions()
    {
        return link_->OpenEventer()->Count() + link_->CloseEventer()->Count() +
               link_->DataReceivedEventer()->Count() + link_->ConfigChangedEventer()->Count();
    }

    TIntfPtr<TFakeLink> link_ = MakeObject<TFakeLink>();
    TCommIntfHandler table_;
    uint32_t handle_ = 0;
    TRecordingWindow window_;
};

TEST_F(CommIntfHandlerTest, HandleIsTheLinksIUnknownAddressFromAnyInterface)
{
    EXPECT_EQ(AddressOf(static_cast<IUnknown*>(link_.Get())), handle_);
    EXPECT_EQ(handle_, table_.HandleOf(static_cast<ICommunicationInterface*>(link_.Get())));
    EXPECT_EQ(handle_, table_.HandleOf(static_cast<INodedInterface*>(link_.Get())));
    const auto link = table_.CommInterfaceByHandle(handle_);
    ASSERT_TRUE(link);
    EXPECT_EQ("FAKE", link->GetID());
    EXPECT_EQ("FAKE", table_.CommInterfaceByIndex(0)->GetID());
}

TEST_F(CommIntfHandlerTest, OutOfRangeIndexesAndUnknownHandlesGiveNothing)
{
    EXPECT_EQ(0u, table_.HandleByIndex(table_.Count()));
    EXPECT_EQ(0u, table_.HandleByIndex(-1));
    EXPECT_FALSE(table_.CommInterfaceByIndex(1));
    EXPECT_FALSE(table_.CommInterfaceByIndex(-1));
    EXPECT_FALSE(table_.CommInterfaceByHandle(0));
    EXPECT_FALSE(table_.CommInterfaceByHandle(handle_ + 4));
}

TEST_F(CommIntfHandlerTest, AnObjectThatIsNoLinkIsHeldButNotGivenAsLink)
{
    const auto plain = MakeObject<TPlainObject>();
    const uint32_t plainHandle = table_.AddCommInterface(plain.Get());

    EXPECT_TRUE(table_.IsValidHandle(plainHandle));
    EXPECT_FALSE(table_.CommInterfaceByHandle(plainHandle));
    EXPECT_FALSE(table_.CommInterfaceByIndex(1));
    EXPECT_TRUE(table_.RemoveHandle(plainHandle));
}

TEST_F(CommIntfHandlerTest, EntrySubscribesToFourEventsUntilRemoved)
{
    EXPECT_EQ(1u, link_->OpenEventer()->Count());
    EXPECT_EQ(1u, link_->CloseEventer()->Count());
    EXPECT_EQ(1u, link_->DataReceivedEventer()->Count());
    EXPECT_EQ(1u, link_->ConfigChangedEventer()->Count());
    EXPECT_EQ(0u, link_->ChangeEventEventer()->Count()) << "line states are not forwarded";

    EXPECT_TRUE(table_.RemoveHandle(handle_));
    EXPECT_EQ(0u, ForwardedSubscriptions());
    EXPECT_FALSE(table_.RemoveHandle(handle_)) << "removing twice";
}

TEST_F(CommIntfHandlerTest, LinkEventsBecomeNotificationsOfTheirKind)
{
    table_.RegisterCallBackNotifications(handle_, &RecordNotification, 0x5A5A);
    link_->Open();
    link_->Deliver("x");
    link_->SetConnectionString("A=1");
    link_->DoChangeEvent(1, true);
    link_->Close();

    ASSERT_EQ(4u, RecordedNotifications().size());
    EXPECT_EQ(256u, RecordedNotifications()[0].kind);
    EXPECT_EQ(258u, RecordedNotifications()[1].kind);
    EXPECT_EQ(260u, RecordedNotifications()[2].kind);
    EXPECT_EQ(257u, RecordedNotifications()[3].kind);
    for (const TRecordedNotification& notification : RecordedNotifications()) {
        EXPECT_EQ(handle_, notification.handle);
        EXPECT_EQ(0u, notification.data);
        EXPECT_EQ(0x5A5Au, notification.userData);
    }
}

TEST_F(CommIntfHandlerTest, DataReceivedReachesAPostModeWindowAsHandleAndKind)
{
    table_.RegisterMsgNotifications(handle_, window_.Handle(), kLinkMessage, false);
    link_->Deliver("abc");
    EXPECT_TRUE(window_.Received().empty());

    window_.Pump();
    ASSERT_EQ(1u, window_.Received().size());
    EXPECT_EQ(kLinkMessage, window_.Received()[0].message);
    EXPECT_EQ(handle_, window_.Received()[0].wParam);
    EXPECT_EQ(258, window_.Received()[0].lParam);
}

TEST_F(CommIntfHandlerTest, AnyNonzeroSendFlagSendsAtOnce)
{
    const int hostSendFlag = 5;
    table_.RegisterMsgNotifications(handle_, window_.Handle(), kLinkMessage, hostSendFlag != 0);
    link_->Deliver("abc");

    ASSERT_EQ(1u, window_.Received().size()) << "sent, not posted";
    EXPECT_EQ(258, window_.Received()[0].lParam);
    HWND window = nullptr;
    UINT message = 0;
    bool send = false;
    ASSERT_TRUE(table_.GetMsgNotifications(handle_, window, message, send));
    EXPECT_TRUE(send);
}

TEST_F(CommIntfHandlerTest, WindowMinusOneOrMessageZeroDeliverOnlyTheCallback)
{
    table_.RegisterCallBackNotifications(handle_, &RecordNotification, 0);
    table_.RegisterMsgNotifications(handle_, reinterpret_cast<HWND>(INVALID_HANDLE_VALUE),
                                    kLinkMessage, true);
    link_->Deliver("a");
    table_.RegisterMsgNotifications(handle_, window_.Handle(), 0, false);
    link_->Deliver("b");
    window_.Pump();

    EXPECT_TRUE(window_.Received().empty());
    EXPECT_EQ(2u, RecordedNotifications().size());
}

TEST_F(CommIntfHandlerTest, GetCallBackWithoutOneLeavesVariablesUntouched)
{
    auto callback = reinterpret_cast<TCiNotifyCallback>(0x1234);
    uint32_t userData = 99;
    EXPECT_FALSE(table_.GetCallBackNotifications(handle_, callback, userData));
    EXPECT_EQ(reinterpret_cast<TCiNotifyCallback>(0x1234), callback);
    EXPECT_EQ(99u, userData);
}

TEST_F(CommIntfHandlerTest, RemovingTheLastReferenceFreesTheLink)
{
    bool freed = false;
    auto link = MakeObject<TTrackedLink>(&freed);
    const uint32_t handle =
        table_.AddCommInterface(static_cast<ICommunicationInterface*>(link.Get()));
    link.Reset();
    EXPECT_FALSE(freed);

    EXPECT_TRUE(table_.RemoveHandle(handle));
    EXPECT_TRUE(freed);
}

// The host's callback releases the handle being notified; the table held the last
// reference, so the entry and the link go away in the middle of the notification.
TEST_F(CommIntfHandlerTest, CallbackReleasingItsOwnHandleDoesNotDisturbTheNotification)
{
    tableOfCallback = &table_;
    bool freed = false;
    auto link = MakeObject<TTrackedLink>(&freed);
    TTrackedLink* raw = link.Get();
    const uint32_t handle = table_.AddCommInterface(static_cast<ICommunicationInterface*>(raw));
    link.Reset();
    table_.RegisterCallBackNotifications(handle, &ReleaseOwnHandle, 7);
    table_.RegisterMsgNotifications(handle, window_.Handle(), kLinkMessage, false);

    raw->Deliver("bytes");

    EXPECT_TRUE(freed);
    EXPECT_FALSE(table_.IsValidHandle(handle));
    ASSERT_EQ(1u, RecordedNotifications().size());
    EXPECT_EQ(7u, RecordedNotifications()[0].userData);
    window_.Pump();
    ASSERT_EQ(1u, window_.Received().size()) << "the message of that notification still goes";
    EXPECT_EQ(handle, window_.Received()[0].wParam);
    EXPECT_EQ(258, window_.Received()[0].lParam);
}

} // namespace
