// Unloading Iobrant with Tarvo objects still alive, in a process of its own: elsewhere the
// test program keeps Iobrant mapped (IobrantHost.h).
#include "iobrant/api/IobrantHost.h"
#include "iobrant/api/PinnedIobrant.h"
#include "support/ChildSuite.h"
#include "support/SerialPeer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr char kChildSuite[] = "HostTarvoUnloadChild";
// A COM number no other test program links.
constexpr int kComPort = 44;
constexpr DWORD kNotificationWaitMs = 3000;

TEST(HostTarvoUnload, RunsInAProcessOfItsOwn)
{
    EXPECT_EQ(0u, child_suite::RunChildSuite(kChildSuite, {{Beside("Iobrant.dll"), "Iobrant.dll"},
                                                            {Beside("Conduvex.dll"), "Conduvex.dll"}}));
}

std::vector<uint32_t>& HostLinkKinds()
{
    static std::vector<uint32_t> kinds;
    return kinds;
}

void CI_CALL HearHostLink(CI_HANDLE, uint32_t kind, uint32_t, uint32_t)
{
    HostLinkKinds().push_back(kind & 0xFFFF);
}

class HostTarvoUnloadChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!child_suite::IsChildSuite(kChildSuite))
            GTEST_SKIP() << "runs in a child process of HostTarvoUnload";
        conduvex = std::make_unique<TConduvexLibrary>();
        iobrant = std::make_unique<TIobrantLibrary>();
        simulator = std::make_unique<TModuleSimulator>(kComPort, "--address 3 --inputs 8 --outputs 8");
        ASSERT_EQ(simulator->Failure(), "");
        ASSERT_TRUE(iobrant->Complete());
    }

    std::unique_ptr<TConduvexLibrary> conduvex;
    std::unique_ptr<TIobrantLibrary> iobrant;
    std::unique_ptr<TModuleSimulator> simulator;
};

TEST_F(HostTarvoUnloadChild, FreesEveryTarvoObjectAndKeepsTheHostsRegistrations)
{
    const int32_t links = conduvex->ciHandlesCount();
    const CI_HANDLE hostLink = conduvex->ciCreate(simulator->ConnectionString().c_str());
    ASSERT_NE(hostLink, 0u);
    ASSERT_EQ(conduvex->ciOpen(hostLink), 0u);
    ASSERT_EQ(conduvex->ciRegisterCallBackNotifications(hostLink, &HearHostLink, 0), 0u);

    ASSERT_NE(iobrant->qCreateTarvoCI(hostLink, "ADDR=3"), 0u);
    ASSERT_NE(iobrant->qCreateTarvo(simulator->ConnectionString().c_str(), "ADDR=3"), 0u);
    EXPECT_EQ(conduvex->ciHandlesCount(), links + 2);
    iobrant.reset();
    EXPECT_EQ(GetModuleHandleA("Iobrant.dll"), nullptr);
    // Iobrant's own link went with it; the host's stays, with the host's callback.
    EXPECT_EQ(conduvex->ciHandlesCount(), links + 1);
    HostLinkKinds().clear();
    ASSERT_EQ(conduvex->ciClose(hostLink), 0u);
    PumpMessagesUntil([] { return !HostLinkKinds().empty(); }, kNotificationWaitMs);
    EXPECT_EQ(HostLinkKinds(), std::vector<uint32_t>{CI_NOTIFY_CLOSED});
    EXPECT_EQ(conduvex->ciRelease(hostLink), 0u);
}

} // namespace
