#include "socket/UdpClientInterface.h"

#include "conduvex/api/ExchangeClock.h"
#include "conduvex/socket/LoopbackPeers.h"
#include "socket/MyPacketQuee.h"
#include "socket/MySocketThread.h"
#include "socket/PacketException.h"
#include "socket/TcpClientInterface.h"
#include "support/ProcessProbe.h"

#include <atomic>
#include <thread>

namespace {

class UdpClientInterfaceTest : public ::testing::Test {
protected:
    // The peer: a blocking datagram socket on a free loopback port.
    UdpClientInterfaceTest() : peer_(BoundSocket(SOCK_DGRAM, IPPROTO_UDP))
    {
        SetReceiveTimeout(peer_.Get(), 3000);
    }

    uint16_t PeerPort() const { return BoundPort(peer_.Get()); }

    TIntfPtr<TUDPClientInterface> OpenLink()
    {
        auto link = MakeObject<TUDPClientInterface>(kLoopback, PeerPort(), 0);
        EXPECT_TRUE(link->Open());
        return link;
    }

    void SendToLink(TUDPClientInterface& link, const std::string& bytes)
    {
        const sockaddr_in to = LoopbackAddress(link.GetLocalPort());
        ASSERT_EQ(static_cast<int>(bytes.size()),
                  sendto(peer_.Get(), bytes.data(), static_cast<int>(bytes.size()), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to));
    }

    // One datagram as the peer got it; empty on time-out.
    std::string ReceiveDatagram()
    {
        std::string bytes(65535, '\0');
        const int n = recv(peer_.Get(), bytes.data(), static_cast<int>(bytes.size()), 0);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return bytes;
    }

    TWinsockSession winsock_;
    TSocketHandle peer_;
};

std::string PacketErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TPacketException& error) {
        return error.what();
    }
    return "(nothing raised)";
}

TEST(SocketErrorTextTest, DescriptionThenCodeInHexadecimal)
{
    EXPECT_EQ("The attempt to connect was forcefully rejected. (#0000274D)", SocketErrorText(10061));
    EXPECT_EQ("Socket error. (#00002AFC)", SocketErrorText(11004));
    EXPECT_EQ("Socket error. (#00000000)", SocketErrorText(0));
    EXPECT_EQ("A successful WSAStartup must occur before using this function.",
              SocketErrorDescription(10093));
    const std::string_view reset = SocketErrorDescription(10054);
    EXPECT_EQ(0u, reset.find("The virtual circuit was reset by the remote side executing a "
                             "\"hard\" or \"abortive\" close. For UPD sockets"));
}

TEST(SocketErrorTextTest, CodeZeroStandsForTheThreadsLastSocketError)
{
    WSASetLastError(10048);
    EXPECT_EQ(10048, ResolveSocketError(0));
    EXPECT_EQ(10040, ResolveSocketError(10040));
    EXPECT_EQ(kErrException, TPacketException(10048).Code());
}

TEST(MyPacketQueeTest, KeepsPacketsWholeAndInOrder)
{
    TMyPacketQuee queue;
    TMyPacket packet;
    EXPECT_FALSE(queue.Pop(packet));
    EXPECT_EQ(1, queue.Push({"ab", "10.0.0.1", 7}));
    EXPECT_EQ(2, queue.PushData("cde"));
    EXPECT_EQ(5u, queue.TotalBytes());
    ASSERT_TRUE(queue.Pop(packet));
    EXPECT_EQ("ab", packet.data);
    EXPECT_EQ("10.0.0.1", packet.address);
    EXPECT_EQ(7, packet.port);
    EXPECT_EQ(3u, queue.TotalBytes());
    queue.PushData("f");
    EXPECT_EQ("cdef", queue.PopAllData());
    EXPECT_EQ(0u, queue.TotalBytes());
    EXPECT_FALSE(queue.Pop(packet));
}

TEST(MySocketThreadTest, ThreadsRefuseAMissingSocket)
{
    try {
        TMyReceiver receiver(nullptr);
        ADD_FAILURE();
    } catch (const EConduvexError& error) {
        EXPECT_STREQ("TMyReceiver: construktor nemuze vytvorit objekt", error.what());
    }
    try {
        TMySender sender(nullptr);
        ADD_FAILURE();
    } catch (const EConduvexError& error) {
        EXPECT_STREQ("TMySender: construktor nemuze vytvorit objekt", error.what());
    }
}

TEST_F(UdpClientInterfaceTest, PrintsItsSettingsAndAnswersItsInterfaces)
{
    const auto link = MakeObject<TUDPClientInterface>("device.local", 10001, 0);
    EXPECT_EQ("Host=device.local;Port=10001", link->GetConnectionString());
    EXPECT_EQ("UDPC device.local:10001", link->GetID());
    EXPECT_EQ("UDPC device.local:10001", link->GetDescription());
    EXPECT_FALSE(link->IsActive());
    EXPECT_TRUE(QueryAs<IUDPClientInterface>(link.Get(), IID_IUDPClientInterface));
    EXPECT_TRUE(QueryAs<ISockClientInterface>(link.Get(), IID_ISockClientInterface));
    EXPECT_FALSE(QueryAs<ITCPClientInterface>(link.Get(), IID_ITCPClientInterface));

    const auto parsed = MakeObject<TUDPClientInterface>("host=10.1.2.3;PORT=4000");
    EXPECT_EQ("Host=10.1.2.3;Port=4000", parsed->GetConnectionString());
    EXPECT_THROW(parsed->SetConnectionString("port=65536"), EConduvexError);
    parsed->SetLocalPort(5000);
    EXPECT_EQ(5000, parsed->GetLocalPort());
}

TEST_F(UdpClientInterfaceTest, DatagramsOfEverySizeArriveWhole)
{
    const auto link = OpenLink();
    TLinkRecorder recorder(*link);
    for (const size_t size : {1u, 100u, 1472u, 9000u, 65507u}) {
        const std::string datagram = PatternBytes(size, static_cast<unsigned>(size));
        SendToLink(*link, datagram);
        ASSERT_TRUE(PumpUntil([&] { return link->ReadLength() > 0; })) << size;
        EXPECT_EQ(static_cast<int32_t>(size), link->ReadLength());
        EXPECT_TRUE(datagram == link->Read()) << size;
    }
    EXPECT_TRUE(PumpUntil([&] { return recorder.Saw("data"); }));
    // Announced on the thread that opened the link, when it runs its messages.
    for (const DWORD thread : recorder.Threads())
        EXPECT_EQ(GetCurrentThreadId(), thread);
}

TEST_F(UdpClientInterfaceTest, DatagramsReadTogetherComeInArrivalOrder)
{
    const auto link = OpenLink();
    SendToLink(*link, "ab");
    SendToLink(*link, "cde");
    ASSERT_TRUE(PumpUntil([&] { return link->ReadLength() == 5; }));
    EXPECT_EQ("abcde", link->Read());
    EXPECT_EQ(0, link->ReadLength());
}

TEST_F(UdpClientInterfaceTest, EachWriteLeavesAsOneDatagram)
{
    const auto link = OpenLink();
    EXPECT_EQ(1, link->Write("1"));
    EXPECT_EQ(3, link->Write("two"));
    EXPECT_EQ(5, link->Write("three"));
    EXPECT_EQ("1", ReceiveDatagram());
    EXPECT_EQ("two", ReceiveDatagram());
    EXPECT_EQ("three", ReceiveDatagram());
}

TEST_F(UdpClientInterfaceTest, DatagramsLeaveAtLeastThreeMillisecondsApart)
{
    const auto link = OpenLink();
    const double written = NowMs();
    for (int n = 0; n < 5; ++n)
        link->Write(std::string(1, static_cast<char>('a' + n)));
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(std::string(1, static_cast<char>('a' + n)), ReceiveDatagram());
    // The last one cannot leave before four gaps of 3 ms (less the timer's rounding).
    EXPECT_GE(NowMs() - written, 11.0);
}

TEST_F(UdpClientInterfaceTest, AnArrivalWaitEndsWithTheDatagram)
{
    const auto link = OpenLink();
    std::atomic<double> sentAt = 0;
    std::thread device([&] {
        Sleep(100);
        sentAt = NowMs();
        SendToLink(*link, "late");
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
}

TEST_F(UdpClientInterfaceTest, AnOpenIdleLinkCostsAlmostNoProcessorTime)
{
    const auto link = OpenLink();
    Sleep(50);
    const double cpuBefore = ProcessCpuMs();
    // Two seconds: the processor time moves in steps of 10 ms here.
    const double elapsed = Timed([] { Sleep(2000); });
    const double cpuPerSecond = (ProcessCpuMs() - cpuBefore) * 1000.0 / elapsed;
    // Threads that woke every 3 ms cost about 40 ms per second here.
    EXPECT_LT(cpuPerSecond, 15.0);
}

TEST_F(UdpClientInterfaceTest, OversizedDatagramIsRefused)
{
    const auto link = OpenLink();
    EXPECT_EQ("The socket is message oriented, and the message is larger than the maximum "
              "supported by the underlying transport. (#00002738)",
              PacketErrorText([&] { link->Write(std::string(65508, 'x')); }));
    const std::string largest = PatternBytes(65507);
    EXPECT_EQ(65507, link->Write(largest));
    EXPECT_TRUE(largest == ReceiveDatagram());
}

TEST_F(UdpClientInterfaceTest, WritingToAClosedLinkIsRefused)
{
    const auto link = MakeObject<TUDPClientInterface>(kLoopback, PeerPort(), 0);
    EXPECT_EQ("The socket is not connected. (#00002749)",
              PacketErrorText([&] { link->Write("x"); }));
}

TEST_F(UdpClientInterfaceTest, HostThatIsNotDottedFailsAndLeavesTheLinkClosed)
{
    const auto link = MakeObject<TUDPClientInterface>("localhost", PeerPort(), 0);
    TLinkRecorder recorder(*link);
    EXPECT_EQ("The requested address is a broadcast address, but the appropriate flag was not "
              "set. (#0000271D)",
              PacketErrorText([&] { link->Open(); }));
    EXPECT_FALSE(link->IsActive());
    EXPECT_TRUE(recorder.Events().empty());
}

TEST_F(UdpClientInterfaceTest, OpenAndCloseAreAnnounced)
{
    const auto link = MakeObject<TUDPClientInterface>(kLoopback, PeerPort(), 0);
    TLinkRecorder recorder(*link);
    ASSERT_TRUE(link->Open());
    EXPECT_NE(0, link->GetLocalPort());
    EXPECT_TRUE(link->Close());
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ((std::vector<std::string>{"open", "close"}), recorder.Events());
}

TEST_F(UdpClientInterfaceTest, FixedLocalPortIsBound)
{
    const uint16_t free = BoundPort(BoundSocket(SOCK_DGRAM, IPPROTO_UDP).Get());
    const auto link = MakeObject<TUDPClientInterface>(kLoopback, PeerPort(), free);
    ASSERT_TRUE(link->Open());
    EXPECT_EQ(free, link->GetLocalPort());
    link->Write("from a fixed port");
    sockaddr_in from{};
    int length = sizeof from;
    char buffer[64];
    ASSERT_GT(recvfrom(peer_.Get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                       &length),
              0);
    EXPECT_EQ(free, ntohs(from.sin_port));
}

TEST_F(UdpClientInterfaceTest, PortChangeOnAnOpenLinkReopensTowardsTheNewPort)
{
    const auto link = OpenLink();
    TLinkRecorder recorder(*link);
    const TSocketHandle other = BoundSocket(SOCK_DGRAM, IPPROTO_UDP);
    SetReceiveTimeout(other.Get(), 3000);

    link->SetConnectionString("port=" + std::to_string(BoundPort(other.Get())));
    EXPECT_EQ((std::vector<std::string>{"close", "open"}), recorder.Events());
    EXPECT_TRUE(link->IsActive());
    link->Write("moved");
    char buffer[16];
    const int n = recv(other.Get(), buffer, sizeof buffer, 0);
    EXPECT_EQ("moved", std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0));
}

TEST_F(UdpClientInterfaceTest, DestroyingJoinsTheThreadsAndClosesTheSocket)
{
    OpenLink().Reset();
    const size_t handlesBefore = OpenHandleCount();
    const size_t threadsBefore = ThreadIdsOfProcess().size();
    ASSERT_GT(handlesBefore, 0u);
    {
        const auto link = OpenLink();
        EXPECT_EQ(threadsBefore + 2, ThreadIdsOfProcess().size()); // the receiver and the sender
        link->Write("x");
        EXPECT_EQ("x", ReceiveDatagram());
        SendToLink(*link, "y");
        EXPECT_TRUE(PumpUntil([&] { return link->ReadLength() == 1; }));
    }
    EXPECT_EQ(handlesBefore, OpenHandleCount());
    EXPECT_EQ(threadsBefore, ThreadIdsOfProcess().size());
}

} // namespace
