#include "serial/ScComPortCore.h"

#include "support/ProcessProbe.h"
#include "support/SerialPeer.h"
#include "support/SerialPeers.h"
#include "conduvex/serial/SerialTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace {

using namespace serial_peers;

constexpr int kPair = 0;
// The poll interval plus what a loaded machine may add to it.
constexpr DWORD kAnnounceBoundMs = 200 + 300;

// Collects the engine's reports as they come from its event thread.
class TReportLog {
public:
    void OnPortEvent(TScComPortCore*, const TScCoreEventRecord& record)
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            records_.push_back(record);
        }
        if (throwOnNextDataReport_ && record.kind == TScCoreEvent::ceNeedReadData) {
            throwOnNextDataReport_ = false;
            throw std::runtime_error("report failed");
        }
    }
    size_t Count(TScCoreEvent kind)
    {
        std::lock_guard<std::mutex> guard(lock_);
        return std::count_if(records_.begin(), records_.end(), [kind](const auto& r) { return r.kind == kind; });
    }
    std::vector<TScCoreEventRecord> Records()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return records_;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> guard(lock_);
        records_.clear();
    }
    std::atomic<bool> throwOnNextDataReport_{false};

private:
    std::mutex lock_;
    std::vector<TScCoreEventRecord> records_;
};

DCB Dcb(DWORD baud, BYTE stopBits = ONESTOPBIT, BYTE byteSize = 8)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = byteSize;
    dcb.StopBits = stopBits;
    dcb.fBinary = TRUE;
    return dcb;
}

std::string OpenFailureText(int number)
{
    TScComPortCore core;
    try {
        core.OpenComPort(number);
    } catch (const EScComPortCoreError& error) {
        EXPECT_FALSE(core.Opened());
        EXPECT_FALSE(core.Active());
        EXPECT_EQ(core.Handle(), nullptr);
        return error.what();
    }
    return "opened";
}

class ScComPortCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer_.IsOpen()) << "COM" << PeerPort(kPair) << " is missing: run tools/pty-ports.sh start";
        core_.SetOnPortEvent(MakeMethod<&TReportLog::OnPortEvent>(&log_));
        core_.SetDCB(Dcb(115200));
    }

    void Open() { ASSERT_TRUE(core_.OpenComPort(LinkPort(kPair))); }

    std::string ReadAll()
    {
        std::string bytes(core_.ComStatus().cbInQue, '\0');
        bytes.resize(static_cast<size_t>(std::max(0, core_.ReadData(bytes.data(), static_cast<uint32_t>(bytes.size())))));
        return bytes;
    }

    TSerialPeer peer_{PeerPort(kPair), LinkPort(kPair)};
    TReportLog log_;
    TScComPortCore core_;
};

TEST(ScComPortCoreOpen, FailuresGiveTheirTextsAndLeaveNothingOpen)
{
    const auto openAll = [] {
        EXPECT_EQ(OpenFailureText(0), "Invalid port number (COM0)");
        EXPECT_EQ(OpenFailureText(-3), "Invalid port number (COM-3)");
        EXPECT_EQ(OpenFailureText(kMissingPort), "Invalid port number (COM91)");
        EXPECT_EQ(OpenFailureText(kUnlinkedPort), "Invalid port number (COM89)");
        EXPECT_EQ(OpenFailureText(kUnopenablePort), "Can't open device COM90");
        EXPECT_EQ(OpenFailureText(kNotSerialPort), "Error setting timeouts");
    };
    openAll(); // the system keeps a few handles of its own after the first attempts
    const size_t handlesBefore = OpenHandleCount();
    openAll();
    EXPECT_EQ(OpenHandleCount(), handlesBefore);
}

TEST_F(ScComPortCore, OpensOnceAndCanBeOpenedAgainAfterClosing)
{
    Open();
    EXPECT_TRUE(core_.Opened());
    EXPECT_TRUE(core_.Active());
    EXPECT_FALSE(core_.OpenComPort(LinkPort(1)));
    EXPECT_EQ(core_.ComNumber(), LinkPort(kPair));
    core_.CloseComPort();
    EXPECT_FALSE(core_.Opened());
    EXPECT_FALSE(core_.Active());
    Open();
    EXPECT_TRUE(core_.WriteData("x", 1));
    EXPECT_EQ(peer_.Read(1, 2000), "x");
}

TEST_F(ScComPortCore, ReadsGiveMinusOneWhenClosedAndZeroAtOnceWhenNothingIsQueued)
{
    char byte = 0;
    EXPECT_EQ(core_.ReadData(&byte, 1), -1);
    EXPECT_FALSE(core_.WriteData("x", 1));
    EXPECT_EQ(core_.OutBufFree(), 0u);
    EXPECT_FALSE(core_.PurgeRx());
    EXPECT_FALSE(core_.PurgeTx());
    Open();
    const DWORD start = GetTickCount();
    EXPECT_EQ(core_.ReadData(&byte, 1), 0);
    EXPECT_LT(GetTickCount() - start, 100u);
}

TEST_F(ScComPortCore, WrittenBytesArriveAtThePeerInOrder)
{
    Open();
    std::string sent;
    for (uint32_t i = 0; i < 200; ++i) {
        const std::string chunk = BytePattern(1 + i * 7 % 97, i);
        ASSERT_TRUE(WaitUntil([&] { return core_.OutBufFree() >= chunk.size(); }, 2000));
        ASSERT_TRUE(core_.WriteData(chunk.data(), static_cast<uint32_t>(chunk.size())));
        sent += chunk;
    }
    EXPECT_EQ(peer_.Read(sent.size(), 5000), sent);
}

TEST_F(ScComPortCore, ExactlyOneOutFreeFollowsTheLastByteOfAWrite)
{
    Open();
    const std::string block = BytePattern(1000, 1);
    ASSERT_TRUE(core_.WriteData(block.data(), 1000));
    ASSERT_EQ(peer_.Read(1000, 3000).size(), 1000u);
    ASSERT_TRUE(WaitUntil([&] { return log_.Count(TScCoreEvent::ceOutFree) > 0; }, 1000));
    Sleep(300);
    EXPECT_EQ(log_.Count(TScCoreEvent::ceOutFree), 1u);
}

TEST_F(ScComPortCore, PeerBytesAreAnnouncedWithinThePollIntervalAndReadInOrder)
{
    Open();
    for (uint32_t round = 0; round < 3; ++round) {
        log_.Clear();
        const std::string bytes = BytePattern(10 + round, round);
        const DWORD start = GetTickCount();
        ASSERT_TRUE(peer_.Write(bytes));
        ASSERT_TRUE(WaitUntil([&] { return log_.Count(TScCoreEvent::ceNeedReadData) > 0; }, 2000));
        EXPECT_LE(GetTickCount() - start, kAnnounceBoundMs);
        EXPECT_EQ(log_.Records().front().data, bytes.size());
        EXPECT_EQ(ReadAll(), bytes);
    }
}

TEST_F(ScComPortCore, AMegabyteWriteArrivesWhole)
{
    core_.SetOutBufSize(2 << 20);
    Open();
    const std::string block = BytePattern(1 << 20, 7);
    ASSERT_TRUE(core_.WriteData(block.data(), static_cast<uint32_t>(block.size())));
    const std::string received = peer_.Read(block.size(), 30000);
    EXPECT_EQ(received.size(), block.size());
    EXPECT_TRUE(received == block);
}

TEST_F(ScComPortCore, ABlockLargerThanTheOutputRingIsRefusedWhole)
{
    core_.SetOutBufSize(4096);
    Open();
    const std::string block = BytePattern(4097, 3);
    EXPECT_FALSE(core_.WriteData(block.data(), 4097));
    EXPECT_TRUE(core_.WriteData(block.data(), 4096));
    EXPECT_EQ(peer_.Read(4096, 2000), block.substr(0, 4096));
    EXPECT_EQ(peer_.ReadFor(100), "");
}

TEST_F(ScComPortCore, PurgesDropQueuedBytes)
{
    Open();
    ASSERT_TRUE(peer_.Write(BytePattern(100, 5)));
    ASSERT_TRUE(WaitUntil([&] { return core_.ComStatus().cbInQue == 100; }, 2000));
    EXPECT_TRUE(core_.PurgeRx());
    EXPECT_EQ(core_.ComStatus().cbInQue, 0u);
    EXPECT_TRUE(core_.PurgeTx());
    EXPECT_EQ(core_.OutBufFree(), TScComPortCore::kDefaultOutBufSize);
}

TEST_F(ScComPortCore, SettingsReachTheDevice)
{
    core_.SetDCB(Dcb(57600, TWOSTOPBITS));
    Open();
    std::string stty = DeviceSettingsOf(LinkPort(kPair));
    EXPECT_NE(stty.find("speed 57600 baud"), std::string::npos) << stty;
    EXPECT_NE(stty.find(" cstopb"), std::string::npos) << stty;
    core_.SetDCB(Dcb(19200));
    stty = DeviceSettingsOf(LinkPort(kPair));
    EXPECT_NE(stty.find("speed 19200 baud"), std::string::npos) << stty;
    EXPECT_NE(stty.find("-cstopb"), std::string::npos) << stty;
}

TEST_F(ScComPortCore, ASettingTheDeviceRefusesRaisesAndReadsTheDeviceBack)
{
    Open();
    core_.SetDCB(Dcb(9600));
    try {
        core_.SetDCB(Dcb(9600, ONESTOPBIT, 4)); // a pty has no 4-bit bytes
        FAIL() << "accepted";
    } catch (const EScComPortCoreError& error) {
        EXPECT_STREQ(error.what(), "Error setting parameters from DCB");
    }
    EXPECT_EQ(core_.GetDCB().ByteSize, 8);
    EXPECT_EQ(core_.GetDCB().BaudRate, 9600u);
}

TEST_F(ScComPortCore, AFailingReportTravelsAsAnExceptionReportAndPollingGoesOn)
{
    Open();
    log_.throwOnNextDataReport_ = true;
    ASSERT_TRUE(peer_.Write("abc"));
    ASSERT_TRUE(WaitUntil([&] { return log_.Count(TScCoreEvent::ceException) == 1; }, 2000));
    const auto records = log_.Records();
    const auto exception = std::find_if(records.begin(), records.end(),
                                        [](const auto& r) { return r.kind == TScCoreEvent::ceException; });
    EXPECT_THROW(std::rethrow_exception(exception->exception), std::runtime_error);
    EXPECT_TRUE(WaitUntil([&] { return log_.Count(TScCoreEvent::ceNeedReadData) >= 2; }, 1000))
        << "the bytes still waiting are reported again";
}

// Every open below adds exactly the two engine threads; closing takes them and every
// handle away again, while the peer keeps sending.
TEST_F(ScComPortCore, CloseAndDestroyJoinBothThreadsWithoutLeaksWhileThePeerSends)
{
    peer_.StartFlood(BytePattern(512, 9), 1);
    Sleep(50); // the flood thread has made its handles
    const size_t threadsBefore = ThreadIdsOfProcess().size();
    const size_t handlesBefore = OpenHandleCount();
    const DWORD start = GetTickCount();
    for (int cycle = 0; cycle < 10; ++cycle) {
        Open();
        EXPECT_EQ(ThreadIdsOfProcess().size(), threadsBefore + 2);
        Sleep(cycle * 30 % 250); // closes land in every phase of the poll
        core_.CloseComPort();
        EXPECT_EQ(ThreadIdsOfProcess().size(), threadsBefore);
    }
    {
        TScComPortCore destroyed;
        destroyed.SetOnPortEvent(MakeMethod<&TReportLog::OnPortEvent>(&log_));
        destroyed.SetDCB(Dcb(115200));
        ASSERT_TRUE(destroyed.OpenComPort(LinkPort(kPair)));
        Sleep(250);
    }
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(ThreadIdsOfProcess().size(), threadsBefore);
    EXPECT_EQ(OpenHandleCount(), handlesBefore);
    EXPECT_GT(log_.Count(TScCoreEvent::ceNeedReadData), 0u) << "the peer's bytes were seen";
}

// Wine's ports cannot report received characters (a line-event wait fails, or ends empty for
// a mask of received characters alone), so only polling finds input: a wait for input must
// then end within its check step, also while the event thread still counts on the reports.
TEST_F(ScComPortCore, AWaitForInputEndsWithinItsCheckStepWhereThePortCannotReportArrivals)
{
    EXPECT_FALSE(core_.AwaitInput(500)) << "closed";
    for (const uint32_t mask : {TScComPortCore::kDefaultEventMask, static_cast<uint32_t>(EV_RXCHAR)}) {
        core_.SetEventMask(mask);
        Open();
        for (int i = 0; i < 20; ++i) {
            const DWORD start = GetTickCount();
            EXPECT_TRUE(core_.AwaitInput(500));
            EXPECT_LT(GetTickCount() - start, 100u) << "mask " << mask << ", wait " << i;
        }
        ASSERT_TRUE(peer_.Write("abc"));
        ASSERT_TRUE(WaitUntil([&] { return core_.ComStatus().cbInQue == 3; }, 2000));
        EXPECT_TRUE(core_.AwaitInput(500));
        EXPECT_EQ(ReadAll(), "abc");
        core_.CloseComPort();
        const DWORD start = GetTickCount();
        EXPECT_FALSE(core_.AwaitInput(500));
        EXPECT_LT(GetTickCount() - start, 50u);
    }
}

TEST_F(ScComPortCore, AnIdlePortUsesNoProcessorTime)
{
    const std::vector<DWORD> before = ThreadIdsOfProcess();
    Open();
    std::vector<DWORD> engine;
    for (const DWORD id : ThreadIdsOfProcess()) {
        if (std::find(before.begin(), before.end(), id) == before.end())
            engine.push_back(id);
    }
    ASSERT_EQ(engine.size(), 2u);
    const auto engineCpu = [&] { return ThreadCpuMs(engine[0]) + ThreadCpuMs(engine[1]); };
    const double cpuBefore = engineCpu();
    const double processBefore = ProcessCpuMs();
    Sleep(1000);
    EXPECT_LT(engineCpu() - cpuBefore, 50.0);
    EXPECT_LT(ProcessCpuMs() - processBefore, 100.0);
}

} // namespace
