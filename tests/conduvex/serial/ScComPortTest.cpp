#include "serial/ScComPort.h"

#include "conduvex/serial/SerialTestData.h"
#include "support/SerialPeer.h"
#include "support/SerialPeers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace serial_peers;

constexpr int kPair = 1;

// Records the component's events in firing order, with the thread each fired on.
struct TEventLog {
    std::vector<std::string> names;
    std::vector<uint32_t> values;
    std::atomic<DWORD> lastThread{0};
    std::atomic<int> nonSyncEvents{0};
    std::atomic<DWORD> nonSyncThread{0};

    void Note(const char* name, uint32_t value = 0)
    {
        names.push_back(name);
        values.push_back(value);
        lastThread = GetCurrentThreadId();
    }
    void Cts(TScComPort*) { Note("CTS"); }
    void Dsr(TScComPort*) { Note("DSR"); }
    void Rlsd(TScComPort*) { Note("RLSD"); }
    void Ring(TScComPort*) { Note("RING"); }
    void OutFree(TScComPort*) { Note("OutFree"); }
    void Opened(TScComPort*) { Note("Open"); }
    void Closed(TScComPort*) { Note("Close"); }
    void Data(TScComPort*, uint32_t count) { Note("Data", count); }
    void LineError(TScComPort*, uint32_t errors) { Note("LineError", errors); }
    void Sync(TScComPort*, TScCoreEvent kind, uint32_t) { Note("Sync", static_cast<uint32_t>(kind)); }
    void NonSync(TScComPort*, TScCoreEvent, uint32_t)
    {
        nonSyncThread = GetCurrentThreadId();
        ++nonSyncEvents;
    }
    size_t Count(const std::string& name) const { return std::count(names.begin(), names.end(), name); }
};

void BindEvents(TScComPort& port, TEventLog& log)
{
    port.OnCTSChanged = MakeMethod<&TEventLog::Cts>(&log);
    port.OnDSRChanged = MakeMethod<&TEventLog::Dsr>(&log);
    port.OnRLSDChanged = MakeMethod<&TEventLog::Rlsd>(&log);
    port.OnRINGDetected = MakeMethod<&TEventLog::Ring>(&log);
    port.OnOutBufFree = MakeMethod<&TEventLog::OutFree>(&log);
    port.OnPortOpen = MakeMethod<&TEventLog::Opened>(&log);
    port.OnPortClose = MakeMethod<&TEventLog::Closed>(&log);
    port.OnDataRecived = MakeMethod<&TEventLog::Data>(&log);
    port.OnLineError = MakeMethod<&TEventLog::LineError>(&log);
}

// Plays a report in from a worker thread, as the engine's event thread makes it, while
// this (the owning) thread runs its messages.
void PlayReport(TScComPort& port, TScCoreEventRecord record)
{
    std::atomic<bool> done{false};
    std::thread engine([&] {
        port.HandlePortEvent(nullptr, record);
        done = true;
    });
    PumpMessagesUntil([&] { return done.load(); }, 5000);
    engine.join();
}

TEST(ScComPortSettings, ANewComponentProgramsTheDefaults)
{
    TScComPort port;
    const DCB& dcb = port.GetDCB();
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
    EXPECT_EQ(port.InBufSize(), 4096u);
    EXPECT_EQ(port.OutBufSize(), 2048u);
    EXPECT_EQ(port.WriteThreadPriority(), TScThreadPriority::tpHighest);
    EXPECT_EQ(port.EventThreadPriority(), TScThreadPriority::tpNormal);
    EXPECT_FALSE(port.Active());
}

TEST(ScComPortSettings, UserRateAndTableRatesReplaceEachOther)
{
    TScComPort port;
    port.SetUserBaudRate(9600);
    EXPECT_EQ(port.BaudRate(), TScBaudrate::brUser);
    EXPECT_EQ(port.GetDCB().BaudRate, 9600u);
    EXPECT_EQ(ComPortBaudValue(port), 9600u);
    port.SetBaudRate(TScBaudrate::br9600);
    EXPECT_EQ(port.UserBaudRate(), 0u);
    port.SetBaudRate(TScBaudrate::br921600);
    EXPECT_EQ(port.GetDCB().BaudRate, 921600u);
    EXPECT_EQ(ComPortBaudValue(port), 921600u) << "a high rate is reported as it is programmed";
}

TEST(ScComPortSettings, ABlockSetsTheProperties)
{
    TScComPort port;
    DCB dcb = port.GetDCB();
    dcb.BaudRate = 10000;
    dcb.Parity = ODDPARITY;
    port.SetDCB(dcb);
    EXPECT_EQ(port.BaudRate(), TScBaudrate::brUser);
    EXPECT_EQ(port.UserBaudRate(), 10000u);
    EXPECT_EQ(port.Parity(), TScParity::paOdd);
    dcb.DCBlength = 27;
    EXPECT_EQ(ErrorText([&] { port.SetDCB(dcb); }), "Error setting parameters from DCB -  ");
    port.SetName("Port1");
    EXPECT_EQ(ErrorText([&] { port.SetDCB(dcb); }), "Error setting parameters from DCB - Port1 ");
}

TEST(ScComPortSettings, XLimitsFollowTheInputQueueWithinSixteenBits)
{
    TScComPort port;
    port.SetInBufSize(10000000);
    port.SetFlowControl(TScFlowControl::fwXOnXOff);
    EXPECT_EQ(port.XOnLim(), 65535);
    EXPECT_EQ(port.XOffLim(), 65535);
    port.SetInBufSize(4000);
    EXPECT_EQ(port.XOnLim(), 1000);
    EXPECT_EQ(port.XOffLim(), 3000);
    port.SetXOnLim(500);
    EXPECT_EQ(port.XOffLim(), 3500);
    port.SetXOffLim(5000);
    EXPECT_EQ(port.XOnLim(), 0) << "a negative limit is clamped";
    port.SetFlowControl(TScFlowControl::fwNone);
    EXPECT_EQ(port.XOnLim(), 0);
    EXPECT_EQ(port.XOffLim(), 0);
}

TEST(ScComPortSettings, LineChangesWhileClosedHoldAtTheNextOpen)
{
    TScComPort port;
    port.SetDTR(false);
    port.SetRTS(false);
    EXPECT_EQ(port.GetDCB().fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_EQ(port.GetDCB().fRtsControl, RTS_CONTROL_DISABLE);
}

class ScComPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer_.IsOpen()) << "COM" << PeerPort(kPair) << " is missing: run tools/pty-ports.sh start";
        port_.SetComNumber(static_cast<uint16_t>(LinkPort(kPair)));
        BindEvents(port_, log_);
    }

    TSerialPeer peer_{PeerPort(kPair), LinkPort(kPair)};
    TEventLog log_;
    TScComPort port_;
};

TEST_F(ScComPort, OpensAndClosesWithTheirEvents)
{
    port_.Open();
    EXPECT_TRUE(port_.Active());
    port_.Open();
    port_.Close();
    EXPECT_FALSE(port_.Active());
    EXPECT_EQ(log_.names, (std::vector<std::string>{"Open", "Close"}));
}

TEST_F(ScComPort, ChangingThePortNumberWhileOpenReopens)
{
    port_.Open();
    port_.SetComNumber(static_cast<uint16_t>(LinkPort(0)));
    EXPECT_TRUE(port_.Active());
    EXPECT_EQ(port_.ComNumber(), LinkPort(0));
    EXPECT_EQ(log_.names, (std::vector<std::string>{"Open", "Close", "Open"}));
}

TEST_F(ScComPort, OpenFailuresLeaveItClosed)
{
    port_.SetComNumber(static_cast<uint16_t>(kUnopenablePort));
    EXPECT_EQ(ErrorText([&] { port_.Open(); }), "Can't open device COM90");
    EXPECT_FALSE(port_.Active());
    EXPECT_TRUE(log_.names.empty());
}

TEST_F(ScComPort, QueueSizesCannotChangeWhileOpen)
{
    port_.Open();
    EXPECT_EQ(ErrorText([&] { port_.SetOutBufSize(100); }), "Port is not closed -  ");
    EXPECT_EQ(ErrorText([&] { port_.SetInBufSize(100); }), "Port is not closed -  ");
    EXPECT_EQ(port_.OutBufSize(), TScComPort::kDefaultOutBufSize);
    EXPECT_EQ(port_.InBufSize(), TScComPort::kDefaultInBufSize);
}

TEST_F(ScComPort, WritesThatDoNotFitAndShortReadsRaise)
{
    EXPECT_EQ(ErrorText([&] { port_.WriteString("x"); }), "Write data error [requested: 1, free: 0] -  ");
    port_.Open();
    const std::string block = BytePattern(3000, 1);
    EXPECT_EQ(ErrorText([&] { port_.WriteString(block); }), "Write data error [requested: 3000, free: 2048] -  ");
    char bytes[4];
    EXPECT_EQ(ErrorText([&] { port_.ReadData(bytes, 4); }), "Read data error -  ");
    EXPECT_EQ(port_.ReadString(), "");
}

TEST_F(ScComPort, SettingsReachTheDevice)
{
    port_.SetUserBaudRate(38400);
    port_.SetStopbits(TScStopbits::sbTwo);
    port_.Open();
    std::string stty = DeviceSettingsOf(LinkPort(kPair));
    EXPECT_NE(stty.find("speed 38400 baud"), std::string::npos) << stty;
    EXPECT_NE(stty.find(" cstopb"), std::string::npos) << stty;
    port_.SetBaudRate(TScBaudrate::br4800);
    port_.SetStopbits(TScStopbits::sbOne);
    stty = DeviceSettingsOf(LinkPort(kPair));
    EXPECT_NE(stty.find("speed 4800 baud"), std::string::npos) << stty;
    EXPECT_NE(stty.find("-cstopb"), std::string::npos) << stty;
}

TEST_F(ScComPort, PeerBytesFireDataReceivedOnTheOwningThread)
{
    port_.Open();
    ASSERT_TRUE(peer_.Write("hello"));
    ASSERT_TRUE(PumpMessagesUntil([&] { return log_.Count("Data") > 0; }, 2000));
    EXPECT_EQ(log_.lastThread, GetCurrentThreadId());
    EXPECT_EQ(log_.values.back(), 5u);
    EXPECT_EQ(port_.ReadString(), "hello");
    port_.WriteString("answer");
    EXPECT_EQ(peer_.Read(6, 2000), "answer");
    EXPECT_TRUE(PumpMessagesUntil([&] { return log_.Count("OutFree") > 0; }, 2000));
}

TEST_F(ScComPort, AReportTheOwnerDoesNotTakeForTwoSecondsIsDroppedAndPollingGoesOn)
{
    port_.Open();
    ASSERT_TRUE(peer_.Write("late"));
    Sleep(2600); // no messages: the first report times out
    EXPECT_TRUE(PumpMessagesUntil([&] { return log_.Count("Data") > 0; }, 1000));
    EXPECT_EQ(port_.ReadString(), "late");
}

TEST_F(ScComPort, LineEventsFireInTheirOrderAfterDataAndLineErrors)
{
    port_.OnSyncEvent = MakeMethod<&TEventLog::Sync>(&log_);
    port_.Open();
    PlayReport(port_, {TScCoreEvent::ceLineEvent, EV_RXCHAR | EV_ERR | EV_CTS | EV_DSR | EV_RING | EV_RLSD, nullptr});
    EXPECT_EQ(log_.names,
              (std::vector<std::string>{"Open", "Sync", "Data", "LineError", "CTS", "DSR", "RING", "RLSD"}));
    EXPECT_EQ(log_.values[1], static_cast<uint32_t>(TScCoreEvent::ceLineEvent));
    EXPECT_EQ(log_.lastThread, GetCurrentThreadId());
}

TEST_F(ScComPort, AnEngineExceptionIsRaisedOnTheOwningThreadWithoutStoppingLaterEvents)
{
    port_.Open();
    PlayReport(port_, {TScCoreEvent::ceException, 0, std::make_exception_ptr(std::runtime_error("engine"))});
    PlayReport(port_, {TScCoreEvent::ceOutFree, 0, nullptr});
    EXPECT_EQ(log_.Count("OutFree"), 1u);
}

TEST_F(ScComPort, ReportsAreIgnoredWhileClosed)
{
    PlayReport(port_, {TScCoreEvent::ceNeedReadData, 3, nullptr});
    EXPECT_EQ(log_.Count("Data"), 0u);
}

TEST_F(ScComPort, AnUnsynchronisedHandlerTakesTheReportsOnTheEngineThread)
{
    port_.OnNonSyncEvent = MakeMethod<&TEventLog::NonSync>(&log_);
    port_.Open();
    ASSERT_TRUE(peer_.Write("x"));
    ASSERT_TRUE(PumpMessagesUntil([&] { return log_.nonSyncEvents > 0; }, 2000));
    EXPECT_NE(log_.nonSyncThread, GetCurrentThreadId());
    PumpMessagesFor(300);
    EXPECT_EQ(log_.Count("Data"), 0u);
}

} // namespace
