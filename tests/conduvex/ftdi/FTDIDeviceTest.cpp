// The converter link over the stand-in driver: what it asks the driver, in which order,
// and how it takes the driver's failures.
#include "ftdi/FTDIDevice.h"

#include "ConduvexError.h"
#include "conduvex/api/ExchangeClock.h"
#include "conduvex/ftdi/FtdiDriverPins.h"
#include "conduvex/ftdi/FtdiStandInFixture.h"
#include "LastError.h"
#include "conduvex/socket/LoopbackPeers.h"
#include "conduvex/serial/SerialTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

using namespace ftd2xx;

namespace {

// Counts a link's announcements; data arrive on the reader thread.
class TAnnouncements {
public:
    explicit TAnnouncements(ICommunicationInterface& link) : link_(link)
    {
        link_.OpenEventer()->Add(MakeMethod<&TAnnouncements::Opened>(this));
        link_.CloseEventer()->Add(MakeMethod<&TAnnouncements::Closed>(this));
        link_.DataReceivedEventer()->Add(MakeMethod<&TAnnouncements::DataReceived>(this));
    }
    ~TAnnouncements()
    {
        link_.OpenEventer()->Remove(MakeMethod<&TAnnouncements::Opened>(this));
        link_.CloseEventer()->Remove(MakeMethod<&TAnnouncements::Closed>(this));
        link_.DataReceivedEventer()->Remove(MakeMethod<&TAnnouncements::DataReceived>(this));
    }
    TAnnouncements(const TAnnouncements&) = delete;
    TAnnouncements& operator=(const TAnnouncements&) = delete;

    std::atomic<int> opened = 0;
    std::atomic<int> closed = 0;
    std::atomic<int> data = 0;
    std::atomic<DWORD> dataThread = 0;
    std::atomic<bool> closeOnData = false;

private:
    void Opened(ICommunicationInterface*) { ++opened; }
    void Closed(ICommunicationInterface*) { ++closed; }
    void DataReceived(ICommunicationInterface* sender)
    {
        dataThread = GetCurrentThreadId();
        ++data;
        if (closeOnData)
            sender->Close();
    }

    ICommunicationInterface& link_;
};

// How long a test waits for an announcement or a driver call to come.
constexpr DWORD kAnnounceWaitMs = 3000;

class FTDIDeviceTest : public TFtdiStandInFixture {
protected:
    static TIntfPtr<TFTDIDevice> Link(const std::string& connectionString)
    {
        return MakeObject<TFTDIDevice>(connectionString);
    }

    // The driver calls since the last look.
    std::vector<std::string> Calls()
    {
        std::vector<std::string> calls = standIn_.Calls();
        standIn_.ClearCalls();
        return calls;
    }

};

TEST_F(FTDIDeviceTest, ReportsItsSettingsAndIdentity)
{
    const auto link = Link("serial_number=ftq77C");
    EXPECT_EQ("provider=FTD_USB;serial_number=ftq77C;baudrate=115200;databits=8;dtr=0;rts=0",
              link->GetConnectionString());
    EXPECT_EQ("ftq77C", link->GetID());
    EXPECT_EQ("Vantel USB Adapter", link->GetDescription());
    EXPECT_EQ(-1, link->GetDeviceIndex());
    EXPECT_FALSE(link->IsActive());
    EXPECT_FALSE(link->GetCTS());
    EXPECT_FALSE(link->GetDSR());
    EXPECT_TRUE(link->ConfigDialogAvailable());
    EXPECT_TRUE(QueryAs<IFTDISerialPortInterface>(link.Get(), IID_IFTDISerialPortInterface));
    EXPECT_TRUE(QueryAs<ISerialPortInterface>(link.Get(), IID_ISerialPortInterface));
    EXPECT_THROW(link->GetComPort(), EConduvexError);
    EXPECT_THROW(link->SetInBufSize(10), EConduvexError);
}

TEST_F(FTDIDeviceTest, ByIndexReadsTheDevicesIdentity)
{
    const auto link = MakeObject<TFTDIDevice>(1, "adapter");
    EXPECT_EQ("ftq77C", link->GetSerialNumber());
    EXPECT_EQ("Vantel USB Adapter", link->GetDeviceDescription());
    EXPECT_EQ(1, link->GetDeviceIndex());
    EXPECT_EQ("adapter", link->GetDeviceName());

    const auto missing = MakeObject<TFTDIDevice>(5, "");
    EXPECT_EQ("", missing->GetSerialNumber());
    EXPECT_EQ(kErrFtdDeviceNotFound, LastErrorCode());
    EXPECT_EQ("GetFTDeviceSerialNo - Device Not Found....", LastErrorMessage());
    EXPECT_FALSE(missing->Open());
}

TEST_F(FTDIDeviceTest, OpenWithoutSerialNumberAsksNothing)
{
    const auto link = Link("");
    Calls();
    EXPECT_FALSE(link->Open());
    EXPECT_TRUE(Calls().empty());
}

TEST_F(FTDIDeviceTest, SettingsGivenWhileClosedAreKeptAndAppliedAtOpen)
{
    const auto link = Link("serial_number=FT4XA1B2;baudrate=9600;databits=7;dtr=1;rts=-1");
    EXPECT_EQ(9600u, link->GetBaudRate());
    EXPECT_EQ(7, link->GetDataBits());
    EXPECT_TRUE(link->GetDTR());
    EXPECT_TRUE(link->GetRTS());
    for (const std::string& call : Calls())
        EXPECT_TRUE(call.rfind("FT_OpenEx", 0) != 0 && call.rfind("FT_Set", 0) != 0) << call;

    ASSERT_TRUE(link->Open());
    const std::vector<std::string> expected{
        "FT_OpenEx FT4XA1B2 1",    "FT_SetEventNotification 3", "FT_SetBaudRate 9600",
        "FT_SetDataCharacteristics 7 1 0", "FT_SetDtr", "FT_SetRts",
    };
    EXPECT_EQ(expected, Calls());
    EXPECT_DOUBLE_EQ(1000.0 / 9600 * 10, link->GetCharTime());
    link->Close();
}

TEST_F(FTDIDeviceTest, OpensAndClosesOnceEach)
{
    const auto link = Link("serial_number=FT4XA1B2");
    TAnnouncements announced(*link);
    ASSERT_TRUE(link->Open());
    EXPECT_TRUE(link->IsActive());
    EXPECT_NE(nullptr, link->GetFTHandle());
    EXPECT_FALSE(link->Open());
    EXPECT_TRUE(link->Close());
    EXPECT_FALSE(link->Close());
    EXPECT_EQ(1, announced.opened);
    EXPECT_EQ(1, announced.closed);
    EXPECT_EQ(nullptr, link->GetFTHandle());
    ASSERT_TRUE(link->Open()) << "a closed device opens again";
    link->SetActive(false);
    EXPECT_FALSE(link->IsActive());
}

TEST_F(FTDIDeviceTest, ArrivalsAreAnnouncedFromTheReaderAndRead)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    ASSERT_TRUE(link->IsActive());
    TAnnouncements announced(*link);
    EXPECT_EQ(5, link->Write("hello"));
    ASSERT_TRUE(WaitUntil([&] { return announced.data > 0; }, kAnnounceWaitMs));
    EXPECT_NE(GetCurrentThreadId(), announced.dataThread.load());
    EXPECT_EQ(5, link->ReadLength());
    EXPECT_EQ("hello", link->Read());
    EXPECT_EQ(0, link->ReadLength());
    EXPECT_EQ("", link->Read());
    link->Close();
}

TEST_F(FTDIDeviceTest, ExchangeOverTheLoopback)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    EXPECT_EQ("ping", link->SendAndReceive("ping", 50, nullptr));
    link->PurgeRx();
    EXPECT_TRUE(standIn_.Called("FT_Purge 1"));
    link->Close();
}

TEST_F(FTDIDeviceTest, AnArrivalWaitEndsWithTheReadersSignal)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    std::atomic<double> sentAt = 0;
    std::thread device([&] {
        Sleep(100);
        sentAt = NowMs();
        link->Write("late"); // the loopback brings it back
    });
    link->AwaitArrival(3000);
    const double wokeAt = NowMs();
    device.join();
    // Woken by the arrival: not before it, and not at the end of the wait.
    EXPECT_GT(wokeAt, sentAt.load());
    EXPECT_LT(wokeAt - sentAt, kArrivalWakeMs);
    EXPECT_EQ(4, link->ReadLength());
    // Unread bytes end every later wait at once, also once their signal was taken.
    for (int wait = 0; wait < 2; ++wait)
        EXPECT_LT(Timed([&] { link->AwaitArrival(3000); }), 30.0);
    link->Close();
}

TEST_F(FTDIDeviceTest, AHostMayCloseFromADataAnnouncement)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    TAnnouncements announced(*link);
    announced.closeOnData = true;
    link->Write("x");
    ASSERT_TRUE(WaitUntil([&] { return announced.closed > 0; }, kAnnounceWaitMs));
    EXPECT_FALSE(link->IsActive());
    ASSERT_TRUE(link->Open()) << "a new reader starts";
    announced.closeOnData = false;
    link->Write("y");
    EXPECT_TRUE(WaitUntil([&] { return announced.data > 1; }, kAnnounceWaitMs));
    link->Close();
}

TEST_F(FTDIDeviceTest, ReleasingAnOpenLinkLetsTheDeviceGo)
{
    auto link = Link("serial_number=ftq77C;active=1");
    link->Write("x");
    Calls();
    link.Reset();
    EXPECT_EQ(std::vector<std::string>{"FT_Close"}, Calls());
    EXPECT_TRUE(Link("serial_number=ftq77C;active=1")->IsActive()) << "the device is free again";
}

// Holds the only reference a host has and drops it from a data announcement.
struct TReleasingHost {
    TIntfPtr<TFTDIDevice> link;
    std::atomic<bool> released = false;
    void DataReceived(ICommunicationInterface*)
    {
        link.Reset();
        released = true;
    }
};

TEST_F(FTDIDeviceTest, AHostMayReleaseTheLinkFromADataAnnouncement)
{
    TReleasingHost host{Link("serial_number=ftq77C;active=1")};
    host.link->DataReceivedEventer()->Add(MakeMethod<&TReleasingHost::DataReceived>(&host));
    Calls();
    host.link->Write("x");
    ASSERT_TRUE(WaitUntil([&] { return host.released.load(); }, kAnnounceWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return standIn_.Called("FT_Close"); }, kAnnounceWaitMs))
        << "the last reference went on the reader thread, which closed the device";
}

TEST_F(FTDIDeviceTest, WritingNothingOrOnAClosedLink)
{
    const auto link = Link("serial_number=ftq77C");
    EXPECT_EQ(std::to_string(kErrNotOpened) + " Connection is not opened.",
              RaisedBy([&] { link->Write("abc"); }));
    ASSERT_TRUE(link->Open());
    Calls();
    EXPECT_EQ(0, link->Write(""));
    EXPECT_TRUE(Calls().empty());
    link->Close();
}

TEST_F(FTDIDeviceTest, AnIoErrorOnWriteClosesTheDeviceAndIsRaised)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    TAnnouncements announced(*link);
    standIn_.Fail("FT_Write", kFtIoError);
    Calls();
    EXPECT_EQ(std::to_string(kErrFtdIoError) + " FT_WRITE - General IO Error...",
              RaisedBy([&] { link->Write("abc"); }));
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ(1, announced.closed);
    EXPECT_EQ((std::vector<std::string>{"FT_Write 3", "FT_Close"}), Calls());
    EXPECT_EQ(kErrFtdIoError, LastErrorCode());
}

TEST_F(FTDIDeviceTest, OtherWriteFailuresAreRaisedAndKeepTheDeviceOpen)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    standIn_.Fail("FT_Write", kFtInvalidHandle);
    EXPECT_EQ(std::to_string(kErrFtdInvalidHandle) + " FT_WRITE - Invalid Handle...",
              RaisedBy([&] { link->Write("abc"); }));
    EXPECT_TRUE(link->IsActive());
    standIn_.Heal();
    link->Close();
}

TEST_F(FTDIDeviceTest, AnIoErrorWhileClosingClosesByForceOnce)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    TAnnouncements announced(*link);
    standIn_.Fail("FT_Close", kFtIoError);
    Calls();
    EXPECT_FALSE(link->Close());
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ(1, announced.closed);
    EXPECT_EQ(std::vector<std::string>{"FT_Close"}, Calls());
    EXPECT_EQ("FT_Close - General IO Error...", LastErrorMessage());
}

TEST_F(FTDIDeviceTest, AnIoErrorWhileReadingClosesTheDevice)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    standIn_.Fail("FT_GetQueueStatus", kFtIoError);
    EXPECT_EQ("", link->Read());
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ("FT_GetQueueStatus - General IO Error...", LastErrorMessage());
}

TEST_F(FTDIDeviceTest, ARefusedCloseKeepsTheDeviceUnlessForced)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    standIn_.Fail("FT_Close", kFtInvalidHandle);
    EXPECT_FALSE(link->Close());
    EXPECT_TRUE(link->IsActive());
    EXPECT_FALSE(link->CloseDevice(true));
    EXPECT_FALSE(link->IsActive());
}

TEST_F(FTDIDeviceTest, RefusedSettingsKeepTheirOldValues)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    standIn_.Fail("FT_SetBaudRate", kFtInvalidParameter);
    link->SetBaudRate(9600);
    EXPECT_EQ(115200u, link->GetBaudRate());
    EXPECT_EQ("FT_SetBaudRate - Invalid Parameter ...", LastErrorMessage());
    link->SetDataBits(9);
    EXPECT_EQ(8, link->GetDataBits());
    standIn_.Fail("FT_SetDtr", kFtInvalidHandle);
    link->SetDTR(true);
    EXPECT_FALSE(link->GetDTR());
    link->SetRTS(true);
    EXPECT_TRUE(link->GetRTS());
    EXPECT_TRUE(link->IsActive());
    standIn_.Heal();
    link->Close();
}

TEST_F(FTDIDeviceTest, AnOpenFailureIsReportedWithItsStep)
{
    const auto link = Link("serial_number=gone");
    EXPECT_EQ("", link->GetDescription());
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(kErrFtdDeviceNotFound, LastErrorCode());
    EXPECT_EQ("Open_USB_Device_By_Serial_Number - Device Not Found....", LastErrorMessage());
}

TEST_F(FTDIDeviceTest, ANewSerialNumberMovesAnOpenLink)
{
    const auto link = Link("serial_number=FT4XA1B2;active=1");
    Calls();
    link->SetConnectionString("serial_number=ftq77C");
    EXPECT_TRUE(link->IsActive());
    EXPECT_EQ("ftq77C", link->GetID());
    const std::vector<std::string> calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("FT_Close", calls.front());
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "FT_OpenEx ftq77C 1"));
    link->Close();
}

TEST_F(FTDIDeviceTest, InvalidationClosesByForce)
{
    const auto link = Link("serial_number=ftq77C;active=1");
    link->SetValid(false);
    EXPECT_FALSE(link->GetValid());
    EXPECT_FALSE(link->IsActive());
}

TEST_F(FTDIDeviceTest, TheBridgeCarriesDataBothWays)
{
    const TWinsockSession winsock;
    TTcpListener listener;
    standIn_.Attach({{"BRIDGE1", "Bridged USB", 0x0403, 0x6001, 1, listener.Port()}});
    const auto link = Link("serial_number=BRIDGE1");
    TAnnouncements announced(*link);
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    EXPECT_EQ(4, link->Write("ping"));
    EXPECT_EQ("ping", ReceiveExactly(peer.Get(), 4));
    SendAll(peer.Get(), "pong");
    ASSERT_TRUE(WaitUntil([&] { return announced.data > 0 && link->ReadLength() == 4; }, kAnnounceWaitMs));
    EXPECT_EQ("pong", link->Read());
    link->Close();
}

} // namespace
