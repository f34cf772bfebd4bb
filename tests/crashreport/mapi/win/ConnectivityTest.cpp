#include "mapi/win/Connectivity.h"

#include <winsock2.h>

#include <gtest/gtest.h>

namespace {

bool RawSocketsWork()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 1), &data) != 0)
        return false;
    const SOCKET probe = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const bool works = probe != INVALID_SOCKET;
    if (works)
        closesocket(probe);
    WSACleanup();
    return works;
}

class Connectivity : public testing::Test {
protected:
    void TearDown() override
    {
        SetSkipConnectivityTest(true);
        SetConnectivityHost("www.example.com");
    }
};

TEST_F(Connectivity, SkippedTestSucceedsWithoutPinging)
{
    // A host that cannot be pinged: only skipping makes the test succeed.
    SetConnectivityHost("");
    EXPECT_TRUE(TestConnectivity(false, {}));
    EXPECT_TRUE(TestConnectivity(true, {}));
}

TEST_F(Connectivity, LoopbackAnswersEveryEchoRequest)
{
    if (!RawSocketsWork())
        GTEST_SKIP() << "raw ICMP sockets need root here";
    EXPECT_TRUE(PingHost("127.0.0.1"));
    EXPECT_TRUE(PingHost("localhost"));
    SetSkipConnectivityTest(false);
    SetConnectivityHost("127.0.0.1");
    EXPECT_TRUE(TestConnectivity(false, {}));
}

TEST_F(Connectivity, UnreachableHostFailsAndDialsOnlyWhenAllowed)
{
    EXPECT_FALSE(PingHost(""));
    SetSkipConnectivityTest(false);
    SetConnectivityHost("");
    EXPECT_FALSE(TestConnectivity(false, {}));
    int lockChecks = 0;
    TMailClientHooks hooks;
    hooks.loaderLocked = [&] {
        ++lockChecks;
        return true;
    };
    EXPECT_FALSE(TestConnectivity(false, hooks));
    EXPECT_EQ(lockChecks, 0);
    EXPECT_FALSE(TestConnectivity(true, hooks));
    EXPECT_EQ(lockChecks, 1);
    // Dialling "succeeds" without a modem, and the second ping still finds nothing.
    EXPECT_FALSE(TestConnectivity(true, {}));
}

} // namespace
