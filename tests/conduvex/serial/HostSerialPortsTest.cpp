// COM port enumeration through the exports, against the ports tools/pty-ports.sh links
// into the Wine prefix. Wine brings ports of its own (COM1 at least), so the tests look
// for the linked and the unlinked numbers rather than for an exact list.
#include "conduvex/api/HostEnumerationLibrary.h"
#include "support/SerialPeers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace serial_peers;

// Ports of this program's pairs: pair 2 and pair 3.
const std::vector<int32_t> kLinkedPorts{LinkPort(2), PeerPort(2), LinkPort(3), PeerPort(3)};

// Whether tools/pty-ports.sh linked this port: asked of the system directly.
bool LinkedByTheTestHarness(int32_t port)
{
    const std::string name = "\\\\.\\COM" + std::to_string(port);
    const HANDLE device = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(device);
    return true;
}

#if defined(__i386__)
// Calls the export as a register-convention caller does: the port in EAX, nothing on the
// stack. Reports whether the stack pointer came back unchanged.
uint8_t StateWithPortInEax(PFN_GetSerialPortState function, int32_t port, bool& stackKept)
{
    uint32_t result = 0;
    uint32_t before = 0;
    uint32_t after = 0;
    void* target = reinterpret_cast<void*>(function);
    asm volatile("movl %%esp, %%esi\n\t"
                 "call *%%ecx\n\t"
                 "movl %%esp, %%edi\n\t"
                 : "=a"(result), "=S"(before), "=D"(after), "+c"(target)
                 : "a"(port)
                 : "edx", "memory", "cc");
    stackKept = before == after;
    return static_cast<uint8_t>(result);
}
#endif

class HostSerialPortsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib_.Loaded()) << "Conduvex.dll beside the test program";
        if (!LinkedByTheTestHarness(LinkPort(2)))
            GTEST_SKIP() << "COM" << LinkPort(2) << " is not linked: run tools/pty-ports.sh";
    }

    // Other test programs link and unlink ports of their own while this one runs: a list
    // counts when the size asked for first still fits it.
    std::vector<int32_t> Enumerate()
    {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            int32_t size = 0;
            const int32_t count = lib_.EnumSerialPorts(nullptr, &size);
            EXPECT_EQ(count * 4, size);
            std::vector<int32_t> ports(static_cast<size_t>(std::max(count, 0)));
            const int32_t filled = lib_.EnumSerialPorts(ports.data(), &size);
            if (filled == count)
                return ports;
            if (filled < 0) {
                EXPECT_EQ(0x20000004u, lib_.LastError()) << "only a longer list may not fit";
            }
        }
        ADD_FAILURE() << "the port list never held still";
        return {};
    }

    static bool Contains(const std::vector<int32_t>& ports, int32_t port)
    {
        return std::find(ports.begin(), ports.end(), port) != ports.end();
    }

    int32_t IndexOf(int32_t port)
    {
        for (int32_t index = 0; index < lib_.SerialPortCount(); ++index)
            if (lib_.SerialPortNumByIndex(index) == port)
                return index;
        return -1;
    }

    static constexpr int kAttempts = 20;
    THostEnumerationLibrary& lib_ = THostEnumerationLibrary::Get();
};

TEST_F(HostSerialPortsTest, SeesTheLinkedPortsAndNotTheOthers)
{
    const std::vector<int32_t> ports = Enumerate();
    for (const int32_t port : kLinkedPorts)
        EXPECT_TRUE(Contains(ports, port)) << "COM" << port;
    EXPECT_TRUE(Contains(ports, kUnopenablePort)) << "a port that exists but cannot be opened";
    EXPECT_TRUE(Contains(ports, kNotSerialPort));
    EXPECT_FALSE(Contains(ports, kMissingPort)) << "a dangling link is no port";
    EXPECT_FALSE(Contains(ports, kUnlinkedPort));
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
    EXPECT_EQ(static_cast<int32_t>(ports.size()), lib_.SerialPortCount());
}

TEST_F(HostSerialPortsTest, ABufferTooSmallGetsTheNeededSize)
{
    std::vector<int32_t> ports;
    int32_t small[1] = {-7};
    int32_t size = 0;
    int32_t result = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ports = Enumerate();
        size = sizeof small;
        result = lib_.EnumSerialPorts(small, &size);
        // A port linked and unlinked by another program around the middle call leaves the
        // lists before and after alike but not the size between them.
        if (Enumerate() == ports && size == static_cast<int32_t>(ports.size() * 4))
            break;
    }
    ASSERT_GE(ports.size(), 2u);
    EXPECT_EQ(-1, result);
    EXPECT_EQ(static_cast<int32_t>(ports.size() * 4), size);
    EXPECT_EQ(-7, small[0]);
    size = sizeof small;
    EXPECT_EQ(-1, lib_.EnumSerialPorts(small, &size));
    EXPECT_EQ(0x20000004u, lib_.LastError());
    EXPECT_EQ(-1, lib_.EnumSerialPorts(small, nullptr));
    EXPECT_EQ(0x20000009u, lib_.LastError());
}

// Hosts may enumerate from several threads: each sees a whole, sorted list.
TEST_F(HostSerialPortsTest, ThreadsEnumeratingAtOnceEachGetAWholeList)
{
    constexpr int kThreads = 3;
    constexpr int kRounds = 4;
    std::atomic<int> whole{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread)
        threads.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                std::vector<int32_t> ports(512, -1);
                int32_t size = static_cast<int32_t>(ports.size() * 4);
                const int32_t count = lib_.EnumSerialPorts(ports.data(), &size);
                ports.resize(static_cast<size_t>(std::max(count, 0)));
                const bool ours = std::all_of(kLinkedPorts.begin(), kLinkedPorts.end(),
                                              [&](int32_t port) { return Contains(ports, port); });
                if (count * 4 == size && std::is_sorted(ports.begin(), ports.end()) && ours)
                    ++whole;
                // The index exports read the list another thread may be replacing.
                for (int32_t index = 0; index < lib_.SerialPortCount(); ++index)
                    lib_.SerialPortNumByIndex(index);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(kThreads * kRounds, whole.load());
}

TEST_F(HostSerialPortsTest, PortsByIndexAsNumbersAndNames)
{
    Enumerate();
    const int32_t index = IndexOf(LinkPort(2));
    ASSERT_GE(index, 0);
    EXPECT_EQ(0u, lib_.LastError());
    const std::string name = "COM" + std::to_string(LinkPort(2));
    const int32_t fits = static_cast<int32_t>(name.size()) + 1;

    char text[16] = {};
    int32_t length = fits;
    EXPECT_EQ(0u, lib_.SerialPortByIndex(index, text, &length));
    EXPECT_EQ(name, text);
    EXPECT_EQ(fits - 1, length);

    length = fits - 1;
    EXPECT_EQ(0x20000004u, lib_.SerialPortByIndex(index, text, &length));
    EXPECT_EQ(fits, length);

    length = 0;
    EXPECT_EQ(0u, lib_.SerialPortByIndex(index, nullptr, &length));
    EXPECT_EQ(fits, length);
}

TEST_F(HostSerialPortsTest, IndexesOutsideTheListAreRefused)
{
    const int32_t count = static_cast<int32_t>(Enumerate().size());
    for (const int32_t index : {-1, count}) {
        EXPECT_EQ(-1, lib_.SerialPortNumByIndex(index)) << index;
        EXPECT_EQ("0x20000007 Index out of band.", lib_.Error());
        char text[16];
        int32_t length = sizeof text;
        EXPECT_EQ(0x20000007u, lib_.SerialPortByIndex(index, text, &length)) << index;
    }
}

struct TPortStateExpectation {
    int32_t port;
    uint8_t state;
};

std::vector<TPortStateExpectation> PortStateExpectations()
{
    return {
        {LinkPort(2), CI_PORT_FREE},       {kNotSerialPort, CI_PORT_FREE},
        {kUnopenablePort, CI_PORT_IN_USE}, {kMissingPort, CI_PORT_ABSENT},
        {kUnlinkedPort, CI_PORT_ABSENT},   {0, CI_PORT_ABSENT},
    };
}

TEST_F(HostSerialPortsTest, StateOfOnePort)
{
    for (const TPortStateExpectation& expected : PortStateExpectations())
        EXPECT_EQ(expected.state, lib_.GetSerialPortState(expected.port)) << "COM" << expected.port;
}

TEST_F(HostSerialPortsTest, StateOfOnePortWithTheArgumentInEax)
{
#if defined(__i386__)
    for (const TPortStateExpectation& expected : PortStateExpectations()) {
        bool stackKept = false;
        EXPECT_EQ(expected.state, StateWithPortInEax(lib_.GetSerialPortState, expected.port,
                                                     stackKept))
            << "COM" << expected.port;
        EXPECT_TRUE(stackKept) << "COM" << expected.port;
    }
#else
    GTEST_SKIP() << "x86_64 has one calling convention: there is no register-convention caller";
#endif
}

} // namespace
