#include "serial/SerialPortInterface.h"

#include "CiEventers.h"
#include "conduvex/serial/SerialTestData.h"
#include "support/ProcessProbe.h"
#include "support/SerialPeer.h"
#include "support/SerialPeers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace serial_peers;

constexpr int kPair = 1;
constexpr DWORD kAnnounceBoundMs = 200 + 300;

// Counts and records what a link announces.
struct TLinkListener {
    int opened = 0;
    int closed = 0;
    int configChanged = 0;
    int dataReceived = 0;
    DWORD dataThread = 0;
    std::vector<std::pair<int32_t, bool>> lineChanges;

    void Opened(ICommunicationInterface*) { ++opened; }
    void Closed(ICommunicationInterface*) { ++closed; }
    void ConfigChanged(ICommunicationInterface*) { ++configChanged; }
    void DataReceived(ICommunicationInterface*)
    {
        ++dataReceived;
        dataThread = GetCurrentThreadId();
    }
    void LineChanged(ICommunicationInterface*, int32_t code, bool state) { lineChanges.emplace_back(code, state); }

    void Listen(ICommunicationInterface& link)
    {
        link.OpenEventer()->Add(MakeMethod<&TLinkListener::Opened>(this));
        link.CloseEventer()->Add(MakeMethod<&TLinkListener::Closed>(this));
        link.ConfigChangedEventer()->Add(MakeMethod<&TLinkListener::ConfigChanged>(this));
        link.DataReceivedEventer()->Add(MakeMethod<&TLinkListener::DataReceived>(this));
        link.ChangeEventEventer()->Add(MakeMethod<&TLinkListener::LineChanged>(this));
    }
};

TIntfPtr<TSerialPortInterface> NewLink(const std::string& text = {})
{
    return MakeObject<TSerialPortInterface>(text);
}

std::string LinkPortText(int pair = kPair)
{
    return "comport=" + std::to_string(LinkPort(pair));
}

TEST(SerialPortInterfaceSettings, ANewLinkReportsItsDefaults)
{
    const auto link = NewLink();
    EXPECT_EQ(link->GetConnectionString(), "baudrate=9600;databits=8;dtr=-1;rts=-1;comport=0");
    EXPECT_EQ(link->GetID(), "");
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ(link->GetInBufSize(), 10000000u);
    EXPECT_EQ(link->GetOutBufSize(), 10000000u);
    EXPECT_TRUE(link->ConfigDialogAvailable());
    EXPECT_TRUE(QueryAs<ISerialPortInterface>(static_cast<ISerialPortInterface*>(link.Get()), IID_ISerialPortInterface));
    EXPECT_TRUE(QueryAs<ICommunicationInterface>(static_cast<ISerialPortInterface*>(link.Get()),
                                                 IID_ICommunicationInterface));
}

TEST(SerialPortInterfaceSettings, AConnectionStringSelectsPortAndRate)
{
    const auto link = NewLink("comport=3;baudrate=19200");
    EXPECT_EQ(link->GetComPort(), 3);
    EXPECT_EQ(link->GetID(), "COM3");
    EXPECT_EQ(link->GetDescription(), "COM3");
    EXPECT_EQ(link->GetBaudRate(), 19200u);
    EXPECT_EQ(link->GetConnectionString(), "baudrate=19200;databits=8;dtr=-1;rts=-1;comport=3");
}

TEST(SerialPortInterfaceSettings, ThePortNumberRule)
{
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("COM12"), 12u);
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("com12"), 12u);
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("comport=12"), 12u);
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("comport=\\\\.\\COM3"), 3u);
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("baudrate=9600;comport=x;portname=COM5"), 5u);
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("COMPORT=7x8"), 7u);
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("COM"), std::nullopt);
    EXPECT_EQ(TSerialPortInterface::PortNumberOf("baudrate=9600"), std::nullopt);

    const auto link = NewLink("PORTNAME=COM7");
    EXPECT_EQ(link->GetComPort(), 7);
    link->SetConnectionString("COM4");
    EXPECT_EQ(link->GetComPort(), 4);
    EXPECT_EQ(link->GetID(), "COM4");
    link->SetConnectionString("baudrate=9600");
    EXPECT_EQ(link->GetComPort(), 4);
    EXPECT_EQ(link->GetID(), "COM unknown");
    EXPECT_EQ(ErrorText([&] { link->SetConnectionString("comport=70000"); }), "Range check error");
    EXPECT_EQ(link->GetComPort(), 4);
}

TEST(SerialPortInterfaceSettings, DataBitsAndLineValues)
{
    const auto link = NewLink("databits=7;dtr=0;rts=false");
    EXPECT_EQ(link->GetDataBits(), 7);
    EXPECT_FALSE(link->GetDTR());
    EXPECT_FALSE(link->GetRTS());
    EXPECT_EQ(link->Port().GetDCB().fDtrControl, DTR_CONTROL_DISABLE) << "holds at the next open";
    link->SetConnectionString("dtr=TRUE;rts=5");
    EXPECT_TRUE(link->GetDTR());
    EXPECT_TRUE(link->GetRTS());
    EXPECT_EQ(link->GetConnectionString(), "baudrate=9600;databits=7;dtr=-1;rts=-1;comport=0");
}

TEST(SerialPortInterfaceSettings, BadValuesRaiseConversionErrors)
{
    const auto link = NewLink();
    EXPECT_EQ(ErrorText([&] { link->SetConnectionString("baudrate=fast"); }), "'fast' is not a valid integer value");
    EXPECT_EQ(ErrorText([&] { link->SetConnectionString("dtr=maybe"); }), "'maybe' is not a valid boolean value");
    EXPECT_EQ(ErrorText([&] { link->SetConnectionString("databits=300"); }), "Range check error");
    EXPECT_EQ(ErrorText([&] { link->SetConnectionString("databits=9"); }), "Range check error");
    EXPECT_EQ(ErrorText([&] { link->SetBaudRate(0); }), "Floating point division by zero");
    EXPECT_EQ(link->GetConnectionString(), "baudrate=9600;databits=8;dtr=-1;rts=-1;comport=0");
}

TEST(SerialPortInterfaceSettings, EachSettingAnnouncesAConfigurationChange)
{
    const auto link = NewLink();
    TLinkListener listener;
    listener.Listen(*link);
    link->SetConnectionString("baudrate=19200;databits=7");
    EXPECT_EQ(listener.configChanged, 4);
    listener.configChanged = 0;
    link->SetConnectionString("comport=5");
    EXPECT_EQ(listener.configChanged, 2);
}

class SerialPortInterface : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer_.IsOpen()) << "COM" << PeerPort(kPair) << " is missing: run tools/pty-ports.sh start";
        link_ = NewLink(LinkPortText());
        listener_.Listen(*link_);
    }

    TSerialPeer peer_{PeerPort(kPair), LinkPort(kPair)};
    TIntfPtr<TSerialPortInterface> link_;
    TLinkListener listener_;
};

TEST_F(SerialPortInterface, OnlyTrueOrOneAsksToOpen)
{
    link_->SetConnectionString(LinkPortText() + ";active=yes");
    EXPECT_FALSE(link_->IsActive());
    listener_.configChanged = 0;
    link_->SetConnectionString(LinkPortText() + ";active=1");
    EXPECT_TRUE(link_->IsActive());
    EXPECT_EQ(listener_.configChanged, 3) << "the open refreshes the rate, which announces too";
    link_->SetConnectionString(LinkPortText() + ";active=0");
    EXPECT_TRUE(link_->IsActive()) << "a false value closes nothing";
    EXPECT_TRUE(link_->Close());
    link_->SetConnectionString(LinkPortText() + ";active=TrUe");
    EXPECT_TRUE(link_->IsActive());
    EXPECT_EQ(listener_.opened, 2);
}

TEST_F(SerialPortInterface, OpenSetsTheCharacterTimeAndCloseReportsWhetherItClosed)
{
    EXPECT_FALSE(link_->Close());
    ASSERT_TRUE(link_->Open());
    EXPECT_DOUBLE_EQ(link_->GetCharTime(), 1000.0 / 9600 * 10);
    link_->SetBaudRate(19200);
    EXPECT_DOUBLE_EQ(link_->GetCharTime(), 1000.0 / 19200 * 10);
    EXPECT_TRUE(link_->Close());
    EXPECT_FALSE(link_->Close());
    EXPECT_EQ(listener_.opened, 1);
    EXPECT_EQ(listener_.closed, 1);
}

TEST_F(SerialPortInterface, InvalidatingClosesTheLink)
{
    ASSERT_TRUE(link_->Open());
    link_->SetValid(false);
    EXPECT_FALSE(link_->GetValid());
    EXPECT_FALSE(link_->IsActive());
    EXPECT_EQ(listener_.closed, 1);
}

TEST_F(SerialPortInterface, OpenFailuresRaiseTheEnginesTexts)
{
    link_->SetConnectionString("comport=90");
    EXPECT_EQ(ErrorText([&] { link_->Open(); }), "Can't open device COM90");
    link_->SetConnectionString("comport=91");
    EXPECT_EQ(ErrorText([&] { link_->Open(); }), "Invalid port number (COM91)");
    link_->SetConnectionString("comport=92");
    EXPECT_EQ(ErrorText([&] { link_->Open(); }), "Error setting timeouts");
    EXPECT_FALSE(link_->IsActive());
    EXPECT_EQ(listener_.opened, 0);
    link_->Lock(); // the failed opens released the interface lock
    link_->Unlock();
}

TEST_F(SerialPortInterface, BytesTravelInOrderBothWaysAndArrivalsAreAnnouncedOnTheOwningThread)
{
    ASSERT_TRUE(link_->Open());
    std::string sent;
    for (uint32_t i = 0; i < 50; ++i) {
        const std::string chunk = BytePattern(1 + i % 40, i);
        EXPECT_EQ(link_->Write(chunk), static_cast<int32_t>(chunk.size()));
        sent += chunk;
    }
    EXPECT_EQ(peer_.Read(sent.size(), 5000), sent);

    const std::string answer = BytePattern(300, 99);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(peer_.Write(answer));
    ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.dataReceived > 0; }, 2000));
    EXPECT_LE(GetTickCount() - start, kAnnounceBoundMs);
    EXPECT_EQ(listener_.dataThread, GetCurrentThreadId());
    ASSERT_TRUE(WaitUntil([&] { return link_->ReadLength() == 300; }, 2000));
    EXPECT_EQ(link_->Read(), answer);
    EXPECT_EQ(link_->ReadLength(), 0);
}

TEST_F(SerialPortInterface, AMegabyteWriteArrivesWhole)
{
    ASSERT_TRUE(link_->Open());
    const std::string block = BytePattern(1 << 20, 11);
    EXPECT_EQ(link_->Write(block), 1 << 20);
    const std::string received = peer_.Read(block.size(), 30000);
    EXPECT_EQ(received.size(), block.size());
    EXPECT_TRUE(received == block);
}

TEST_F(SerialPortInterface, SettingsReachTheDevice)
{
    link_->SetConnectionString(LinkPortText() + ";baudrate=19200;active=1");
    ASSERT_TRUE(link_->IsActive());
    std::string stty = DeviceSettingsOf(LinkPort(kPair));
    EXPECT_NE(stty.find("speed 19200 baud"), std::string::npos) << stty;
    link_->SetBaudRate(57600);
    link_->Port().SetStopbits(TScStopbits::sbTwo);
    stty = DeviceSettingsOf(LinkPort(kPair));
    EXPECT_NE(stty.find("speed 57600 baud"), std::string::npos) << stty;
    EXPECT_NE(stty.find(" cstopb"), std::string::npos) << stty;
}

TEST_F(SerialPortInterface, AHighTableRateIsReportedAndKeptAsItIs)
{
    link_->Port().SetBaudRate(TScBaudrate::br460800); // as the configuration dialog sets it
    EXPECT_EQ(link_->GetConnectionString(),
              "baudrate=460800;databits=8;dtr=-1;rts=-1;comport=" + std::to_string(LinkPort(kPair)));
    ASSERT_TRUE(link_->Open());
    EXPECT_EQ(link_->GetBaudRate(), 460800u);
    const std::string stty = DeviceSettingsOf(LinkPort(kPair));
    EXPECT_NE(stty.find("speed 460800 baud"), std::string::npos) << stty;
}

TEST_F(SerialPortInterface, LineSettersActOnAnOpenPort)
{
    ASSERT_TRUE(link_->Open());
    link_->SetConnectionString(LinkPortText() + ";dtr=0");
    EXPECT_FALSE(link_->GetDTR());
    EXPECT_TRUE(link_->IsActive());
    link_->SetRTS(false);
    EXPECT_FALSE(link_->GetRTS());
    EXPECT_FALSE(link_->GetCTS()) << "a pty has no modem lines";
    EXPECT_FALSE(link_->GetDSR());
    link_->PurgeRx();
    link_->PurgeTx();
}

TEST_F(SerialPortInterface, LineEventsBecomeChangeEventsWithTheirCodes)
{
    ASSERT_TRUE(link_->Open());
    std::atomic<bool> done{false};
    std::thread engine([&] {
        link_->Port().HandlePortEvent(nullptr, {TScCoreEvent::ceLineEvent, EV_CTS | EV_DSR | EV_RING | EV_RLSD, nullptr});
        done = true;
    });
    PumpMessagesUntil([&] { return done.load(); }, 5000);
    engine.join();
    const std::vector<std::pair<int32_t, bool>> expected{{1, false}, {3, false}, {4, false}, {0, false}};
    EXPECT_EQ(listener_.lineChanges, expected);
    EXPECT_EQ(listener_.dataReceived, 0);
}

TEST_F(SerialPortInterface, ReleasingAnOpenLinkWhileThePeerSendsLeavesNoThreadOrHandle)
{
    link_.Reset();
    peer_.StartFlood(BytePattern(256, 4), 2);
    Sleep(50); // the flood thread has made its handles
    const size_t threadsBefore = ThreadIdsOfProcess().size();
    const size_t handlesBefore = OpenHandleCount();
    auto link = NewLink(LinkPortText());
    TLinkListener listener;
    listener.Listen(*link);
    ASSERT_TRUE(link->Open());
    PumpMessagesFor(300);
    link.Reset();
    EXPECT_EQ(ThreadIdsOfProcess().size(), threadsBefore);
    EXPECT_EQ(OpenHandleCount(), handlesBefore);
    EXPECT_EQ(listener.closed, 0) << "a released link closes without announcing it";
    EXPECT_GT(listener.dataReceived, 0);
}

} // namespace
