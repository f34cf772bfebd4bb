#include "socket/TcpClientInterface.h"

#include "conduvex/api/ExchangeClock.h"
#include "conduvex/socket/LoopbackPeers.h"
#include "socket/PacketException.h"
#include "support/ProcessProbe.h"

#include <atomic>
#include <thread>

namespace {

class TcpClientInterfaceTest : public ::testing::Test {
protected:
    TWinsockSession winsock_;
};

TIntfPtr<TTCPClientInterface> LinkTo(uint16_t port)
{
    return MakeObject<TTCPClientInterface>(kLoopback, port);
}

// A free loopback port nobody listens on: bound once, then released.
uint16_t RefusingPort()
{
    return BoundPort(BoundSocket(SOCK_STREAM, IPPROTO_TCP).Get());
}

TEST_F(TcpClientInterfaceTest, PrintsItsSettingsAndAnswersItsInterfaces)
{
    const auto link = MakeObject<TTCPClientInterface>("device.local", 10001);
    EXPECT_EQ("provider=TCP_CLIENT;host=device.local;port=10001", link->GetConnectionString());
    EXPECT_EQ("TCPC device.local:10001", link->GetID());
    EXPECT_EQ("TCPC device.local:10001", link->GetDescription());
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ(0, link->GetLocalPort());
    EXPECT_TRUE(QueryAs<ITCPClientInterface>(link.Get(), IID_ITCPClientInterface));
    EXPECT_TRUE(QueryAs<ISockClientInterface>(link.Get(), IID_ISockClientInterface));
    EXPECT_TRUE(QueryAs<ICommunicationInterface>(link.Get(), IID_ICommunicationInterface));
}

TEST_F(TcpClientInterfaceTest, ConnectionStringKeysInAnyCase)
{
    const auto link = MakeObject<TTCPClientInterface>("HOST=10.0.0.5;Port=502;active=0");
    EXPECT_EQ("10.0.0.5", link->GetHost());
    EXPECT_EQ(502, link->GetPort());
    EXPECT_FALSE(link->IsActive());
}

TEST_F(TcpClientInterfaceTest, PortOutsideItsRangeOrNotANumberIsRefused)
{
    const auto link = MakeObject<TTCPClientInterface>(kLoopback, 10001);
    for (const char* text : {"port=0", "port=65536", "port=-1"}) {
        try {
            link->SetConnectionString(text);
            ADD_FAILURE() << text << " was taken";
        } catch (const EConduvexError& error) {
            EXPECT_EQ(kErrBadConnectionString, error.Code()) << text;
        }
    }
    try {
        link->SetConnectionString("port=10x");
        ADD_FAILURE() << "a port that is no number was taken";
    } catch (const EConduvexError& error) {
        EXPECT_STREQ("'10x' is not a valid integer value", error.what());
    }
    EXPECT_EQ(10001, link->GetPort());
    EXPECT_EQ(65535, TSockClientCoreInterface::CheckedPort(65535));
    EXPECT_THROW(TSockClientCoreInterface::CheckedPort(70000), EConduvexError);
}

TEST_F(TcpClientInterfaceTest, ConnectsAndExchangesBothWays)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    TLinkRecorder recorder(*link);

    ASSERT_TRUE(link->Open());
    EXPECT_TRUE(link->IsActive());
    EXPECT_EQ(std::vector<std::string>{"open"}, recorder.Events());
    EXPECT_DOUBLE_EQ(10.0, link->GetCharTime());
    const TSocketHandle peer = listener.Accept();

    sockaddr_in linkAddress{};
    int length = sizeof linkAddress;
    getpeername(peer.Get(), reinterpret_cast<sockaddr*>(&linkAddress), &length);
    EXPECT_EQ(ntohs(linkAddress.sin_port), link->GetLocalPort());

    EXPECT_EQ(5, link->Write("hello"));
    EXPECT_EQ("hello", ReceiveExactly(peer.Get(), 5));

    SendAll(peer.Get(), "world!");
    ASSERT_TRUE(PumpUntil([&] { return recorder.Saw("data"); }));
    ASSERT_TRUE(PumpUntil([&] { return link->ReadLength() == 6; }));
    EXPECT_EQ("world!", link->Read());
    EXPECT_EQ(0, link->ReadLength());
}

uint16_t StopAtFourBytes(const std::string& answer)
{
    return answer.size() >= 4 ? 0 : 1;
}

TEST_F(TcpClientInterfaceTest, AnExchangeEndsAsSoonAsItsLateAnswerIsComplete)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    std::atomic<double> answeredAt = 0;
    std::thread device([&] {
        ReceiveExactly(peer.Get(), 3);
        Sleep(100);
        answeredAt = NowMs();
        SendAll(peer.Get(), "pong");
    });
    std::string answer;
    const double elapsed = Timed([&] { answer = link->SendAndReceive("req", 2000, StopAtFourBytes); });
    const double endedAt = NowMs();
    device.join();
    EXPECT_EQ("pong", answer);
    EXPECT_GE(elapsed, 100 - kTickStepMs);
    // Ended by the arrival itself, not by the deadline.
    EXPECT_LT(endedAt - answeredAt, kArrivalWakeMs);
}

TEST_F(TcpClientInterfaceTest, AnExchangeOnAnotherThreadEndsWithItsAnswerWhileTheOwnerRunsMessages)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    TLinkRecorder recorder(*link);
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    std::atomic<bool> done = false;
    std::string answer;
    double elapsed = 0;
    std::thread exchanger([&] {
        elapsed = Timed([&] { answer = link->SendAndReceive("req", 3000, StopAtFourBytes); });
        done = true;
    });
    EXPECT_EQ("req", ReceiveExactly(peer.Get(), 3));
    for (const char* part : {"po", "ng"}) {
        PumpUntil([] { return false; }, 50); // the owner's message loop, 50 ms
        SendAll(peer.Get(), part);
    }
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    exchanger.join();
    EXPECT_EQ("pong", answer);
    EXPECT_LT(elapsed, 1000.0);
    // The owner's notifications still announce what arrived.
    EXPECT_TRUE(PumpUntil([&] { return recorder.Saw("data"); }));
}

TEST_F(TcpClientInterfaceTest, AnExchangeLeavesNothingWaitingOnTheSocketForLaterBytes)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    TLinkRecorder recorder(*link);
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    std::thread device([&] {
        ReceiveExactly(peer.Get(), 3);
        SendAll(peer.Get(), "pong");
    });
    recorder.Clear();
    EXPECT_EQ("pong", link->SendAndReceive("req", 3000, StopAtFourBytes));
    device.join();
    // The answer was announced, on this (the owning) thread.
    EXPECT_TRUE(PumpUntil([&] { return recorder.Saw("data"); }));
    for (const DWORD thread : recorder.Threads())
        EXPECT_EQ(GetCurrentThreadId(), thread);

    // Later bytes are seen by a reader that runs no messages: no receive of the exchange
    // is left to swallow them.
    SendAll(peer.Get(), "late");
    const DWORD start = GetTickCount();
    while (link->ReadLength() == 0 && GetTickCount() - start < 3000)
        Sleep(1);
    EXPECT_EQ("late", link->Read());
}

TEST_F(TcpClientInterfaceTest, ClosingTheLinkEndsAnExchangeWaitingOnAnotherThread)
{
    constexpr uint32_t kTimeoutMs = 400;
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    std::atomic<bool> done = false;
    std::string answer = "unset";
    double elapsed = 0;
    std::thread exchanger([&] {
        elapsed = Timed([&] { answer = link->SendAndReceive("req", kTimeoutMs, StopAtFourBytes); });
        done = true;
    });
    // The peer stays silent; the owner closes while the exchange waits for the answer.
    EXPECT_EQ("req", ReceiveExactly(peer.Get(), 3));
    EXPECT_TRUE(link->Close());
    const bool ended = PumpUntil([&] { return done.load(); }, 5000);
    exchanger.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ("", answer);
    EXPECT_LT(elapsed, kTimeoutMs + kSchedulingSlackMs);
    EXPECT_FALSE(link->IsActive());
}

TEST_F(TcpClientInterfaceTest, ReadLengthCountsBytesTakenInAndThoseStillInTheSocket)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    TLinkRecorder recorder(*link);
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    SendAll(peer.Get(), "abc");
    // The read notification takes them in.
    ASSERT_TRUE(PumpUntil([&] { return recorder.Saw("data"); }));
    SendAll(peer.Get(), "de");
    // No messages run now: the last two bytes stay in the socket, and still count.
    const DWORD start = GetTickCount();
    while (link->ReadLength() < 5 && GetTickCount() - start < 3000)
        Sleep(1);
    EXPECT_EQ(5, link->ReadLength());
    EXPECT_EQ("abcde", link->Read());
}

TEST_F(TcpClientInterfaceTest, BytesMeetingManyShortWaitsAreNeitherLostNorReordered)
{
    constexpr int kChunks = 150;
    constexpr size_t kChunkSize = 97;
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    const std::string sent = PatternBytes(kChunks * kChunkSize, 7);
    std::thread device([&] {
        for (int chunk = 0; chunk < kChunks; ++chunk) {
            SendAll(peer.Get(), sent.substr(chunk * kChunkSize, kChunkSize));
            if (chunk % 3 == 0)
                Sleep(1);
        }
    });
    // Waits of 1 ms end while bytes are on their way: each cancelled receive must give
    // back what it had, in its place.
    std::string received;
    const DWORD start = GetTickCount();
    while (received.size() < sent.size() && GetTickCount() - start < 10000) {
        link->AwaitArrival(1);
        if (link->ReadLength() != 0)
            received += link->Read();
    }
    device.join();
    EXPECT_EQ(sent.size(), received.size());
    EXPECT_TRUE(received == sent);
}

TEST_F(TcpClientInterfaceTest, AnArrivalWaitEndsWithTheArrival)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    std::atomic<double> sentAt = 0;
    std::thread device([&] {
        Sleep(100);
        sentAt = NowMs();
        SendAll(peer.Get(), "late");
    });
    link->AwaitArrival(3000);
    const double wokeAt = NowMs();
    device.join();
    // Woken by the arrival: not before it, and not at the end of the wait.
    EXPECT_GT(wokeAt, sentAt.load());
    EXPECT_LT(wokeAt - sentAt, kArrivalWakeMs);
    EXPECT_TRUE(PumpUntil([&] { return link->ReadLength() == 4; }));
    // Bytes waiting end the wait at once.
    EXPECT_LT(Timed([&] { link->AwaitArrival(3000); }), 30.0);
}

TEST_F(TcpClientInterfaceTest, AfterThePeersCloseAnArrivalWaitSleepsItsTimeOut)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    ASSERT_TRUE(link->Open());
    listener.Accept().Reset();
    // No messages run here: the link has not heard of the close and its socket stays
    // readable for good.
    Sleep(50);
    const double cpuBefore = ThreadCpuMs(GetCurrentThreadId());
    const double elapsed = Timed([&] {
        for (int wait = 0; wait < 3; ++wait)
            link->AwaitArrival(100);
    });
    const double cpu = ThreadCpuMs(GetCurrentThreadId()) - cpuBefore;
    EXPECT_GE(elapsed, 300 - kTickStepMs);
    EXPECT_LT(cpu, elapsed * 0.25) << cpu << " ms of processor time in " << elapsed << " ms";
}

TEST_F(TcpClientInterfaceTest, OpenOnAnOpenLinkKeepsTheConnection)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    TLinkRecorder recorder(*link);
    ASSERT_TRUE(link->Open());
    EXPECT_TRUE(link->Open());
    EXPECT_EQ(std::vector<std::string>{"open"}, recorder.Events());
}

TEST_F(TcpClientInterfaceTest, PeerCloseIsAnnouncedAndItsLastBytesStayReadable)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    TLinkRecorder recorder(*link);
    ASSERT_TRUE(link->Open());
    {
        const TSocketHandle peer = listener.Accept();
        SendAll(peer.Get(), "last words");
    }
    // Nobody reads before the close arrives.
    ASSERT_TRUE(PumpUntil([&] { return recorder.Saw("close"); }));
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ((std::vector<std::string>{"open", "data", "close"}), recorder.Events());
    EXPECT_EQ(10, link->ReadLength());
    EXPECT_EQ("last words", link->Read());
    EXPECT_THROW(link->Write("late"), EConduvexError);
}

TEST_F(TcpClientInterfaceTest, LocalCloseKeepsWhatHadArrived)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    ASSERT_TRUE(link->Open());
    const TSocketHandle peer = listener.Accept();
    SendAll(peer.Get(), "reply");
    // Waiting without running messages: the bytes are still in the socket.
    const DWORD start = GetTickCount();
    while (link->ReadLength() < 5 && GetTickCount() - start < 3000)
        Sleep(1);
    EXPECT_TRUE(link->Close());
    EXPECT_EQ(5, link->ReadLength());
    EXPECT_EQ("reply", link->Read());
}

TEST_F(TcpClientInterfaceTest, CloseAnnouncesAndWritingAfterwardsFails)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    TLinkRecorder recorder(*link);
    ASSERT_TRUE(link->Open());
    EXPECT_TRUE(link->Close());
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ((std::vector<std::string>{"open", "close"}), recorder.Events());
    try {
        link->Write("x");
        ADD_FAILURE() << "a write without connection was taken";
    } catch (const EConduvexError& error) {
        EXPECT_EQ(kErrNotOpened, error.Code());
        EXPECT_STREQ("Connection is not opened.", error.what());
    }
}

TEST_F(TcpClientInterfaceTest, RefusedPortFailsAtOnce)
{
    const auto link = LinkTo(RefusingPort());
    TLinkRecorder recorder(*link);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(link->Open());
    EXPECT_LT(GetTickCount() - start, 700u);
    EXPECT_FALSE(link->IsActive());
    EXPECT_TRUE(recorder.Events().empty());
}

TEST_F(TcpClientInterfaceTest, SilentHostGivesUpAfterAboutOneAndAHalfSeconds)
{
    // Backlog 0 with its one place taken: further connects are never answered.
    TTcpListener listener(0);
    std::vector<TSocketHandle> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.emplace_back(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        u_long nonBlocking = 1;
        ioctlsocket(fillers.back().Get(), FIONBIO, &nonBlocking);
        const sockaddr_in address = LoopbackAddress(listener.Port());
        connect(fillers.back().Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    const auto link = LinkTo(listener.Port());
    const DWORD start = GetTickCount();
    EXPECT_FALSE(link->Open());
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1450u);
    EXPECT_LE(elapsed, 2200u);
    EXPECT_FALSE(link->IsActive());
}

TEST_F(TcpClientInterfaceTest, PortChangeOnAnOpenLinkReconnects)
{
    TTcpListener first;
    TTcpListener second;
    const auto link = LinkTo(first.Port());
    ASSERT_TRUE(link->Open());
    TLinkRecorder recorder(*link);

    link->SetConnectionString("port=" + std::to_string(second.Port()));
    EXPECT_EQ((std::vector<std::string>{"close", "open"}), recorder.Events());
    EXPECT_TRUE(link->IsActive());
    EXPECT_EQ(second.Port(), link->GetPort());
    const TSocketHandle peer = second.Accept();
    link->Write("moved");
    EXPECT_EQ("moved", ReceiveExactly(peer.Get(), 5));
}

TEST_F(TcpClientInterfaceTest, ActiveKeyOpensAndClosesAClosedOrOpenLink)
{
    TTcpListener listener;
    const auto link = LinkTo(listener.Port());
    link->SetConnectionString("active=TRUE");
    EXPECT_TRUE(link->IsActive());
    link->SetConnectionString("active=0");
    EXPECT_FALSE(link->IsActive());
    link->SetConnectionString("active=1");
    EXPECT_TRUE(link->IsActive());
    link->SetValid(false);
    EXPECT_FALSE(link->IsActive());
}

// An open link with more written to it than the sockets take before the peer reads. The
// sockets' buffers depend on the machine, so the peer's is made small and the link is
// written to until it really queues.
struct TQueuedWrite {
    static constexpr int kPeerReceiveBuffer = 16 * 1024;
    static constexpr size_t kFirstWrite = 4 * 1024 * 1024;
    static constexpr size_t kMoreWrite = 1024 * 1024;
    static constexpr size_t kMostWritten = 64 * 1024 * 1024;

    TTcpListener listener{5, kPeerReceiveBuffer};
    TIntfPtr<TTCPClientInterface> link = LinkTo(listener.Port());
    TSocketHandle peer;
    std::string sent;

    void Start()
    {
        ASSERT_TRUE(link->Open());
        peer = listener.Accept();
        for (size_t size = kFirstWrite; link->UnsentLength() == 0 && sent.size() < kMostWritten; size = kMoreWrite) {
            const std::string bytes = PatternBytes(size, static_cast<unsigned>(sent.size() / kMoreWrite));
            ASSERT_EQ(static_cast<int32_t>(bytes.size()), link->Write(bytes));
            sent += bytes;
        }
        ASSERT_GT(link->UnsentLength(), 0u) << sent.size() << " bytes taken by the sockets, none queued";
    }
};

TEST_F(TcpClientInterfaceTest, LargeWriteToASlowReaderArrivesWhole)
{
    TQueuedWrite queued;
    ASSERT_NO_FATAL_FAILURE(queued.Start());
    const auto& [listener, link, peer, sent] = queued;

    std::string received;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        char chunk[16 * 1024];
        while (received.size() < sent.size()) {
            const int n = recv(peer.Get(), chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            received.append(chunk, static_cast<size_t>(n));
            Sleep(1);
        }
        done = true;
    });
    const bool finished = PumpUntil([&] { return done.load(); }, 20000);
    reader.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(0u, link->UnsentLength());
    EXPECT_TRUE(received == sent) << "received " << received.size() << " bytes";
}

TEST_F(TcpClientInterfaceTest, OutputStillQueuedAtCloseReachesAReadingPeer)
{
    TQueuedWrite queued;
    ASSERT_NO_FATAL_FAILURE(queued.Start());
    const auto& [listener, link, peer, sent] = queued;

    std::string received;
    std::thread reader([&] {
        char chunk[64 * 1024];
        for (;;) {
            const int n = recv(peer.Get(), chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            received.append(chunk, static_cast<size_t>(n));
        }
    });
    EXPECT_TRUE(link->Close());
    reader.join();
    EXPECT_EQ(0u, link->UnsentLength());
    EXPECT_TRUE(received == sent) << "received " << received.size() << " bytes";
}

TEST_F(TcpClientInterfaceTest, CloseGivesUpOnAPeerThatDoesNotRead)
{
    TQueuedWrite queued;
    ASSERT_NO_FATAL_FAILURE(queued.Start());
    const auto& link = queued.link;
    const DWORD start = GetTickCount();
    EXPECT_TRUE(link->Close());
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 1900u);
    EXPECT_LT(took, 5000u);
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ(0u, link->UnsentLength());
}

TEST_F(TcpClientInterfaceTest, DestroyingLeavesNoHandleOrThreadBehind)
{
    TTcpListener listener;
    auto warmUp = LinkTo(listener.Port());
    warmUp->Open();
    warmUp.Reset();
    listener.Accept();
    const size_t handlesBefore = OpenHandleCount();
    const size_t threadsBefore = ThreadIdsOfProcess().size();
    ASSERT_GT(handlesBefore, 0u);
    {
        const auto link = LinkTo(listener.Port());
        ASSERT_TRUE(link->Open());
        const TSocketHandle peer = listener.Accept();
        link->Write("x");
        EXPECT_EQ("x", ReceiveExactly(peer.Get(), 1));
    }
    EXPECT_EQ(handlesBefore, OpenHandleCount());
    EXPECT_EQ(threadsBefore, ThreadIdsOfProcess().size());
}

} // namespace
