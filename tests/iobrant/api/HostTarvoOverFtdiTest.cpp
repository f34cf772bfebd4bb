// Iobrant on an FTDI converter link: the stand-in driver's converter bridged to the module
// simulator's TCP port. Conduvex binds its driver when it loads, so the suite runs in a
// child process whose folder holds Iobrant, Conduvex and the stand-in driver.
#include "iobrant/api/IobrantHost.h"
#include "conduvex/ftdi/FtdiStandInFiles.h"
#include "support/ChildSuite.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr char kChildSuite[] = "HostTarvoOverFtdiChild";
constexpr char kSerialNumber[] = "TV5A1";

TEST(HostTarvoOverFtdi, RunsThroughTheStandInDriver)
{
    EXPECT_EQ(0u, child_suite::RunChildSuite(kChildSuite, {{Beside("Iobrant.dll"), "Iobrant.dll"},
                                                            {Beside("Conduvex.dll"), "Conduvex.dll"},
                                                            {ftdi_standin::DriverPath("standin"), "ftd2xx.dll"}}));
}

std::string States(const uint8_t* states, int32_t count)
{
    std::string text;
    for (int32_t i = 0; i < count; ++i)
        text += states[i] ? '1' : '0';
    return text;
}

class HostTarvoOverFtdiChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!child_suite::IsChildSuite(kChildSuite))
            GTEST_SKIP() << "runs in a child process of HostTarvoOverFtdi";
        simulator_ = std::make_unique<TModuleSimulator>(TModuleSimulator::kSockets,
                                                        "--address 5 --inputs 8 --outputs 8 --kind USB");
        ASSERT_EQ(simulator_->Failure(), "");
        ASSERT_TRUE(iobrant_.Complete());
        standIn_.Attach({{kSerialNumber, "Tarvo USB", 0x0403, 0x6001, 0x0301,
                          static_cast<uint16_t>(simulator_->TcpPort())}});
    }

    std::unique_ptr<TModuleSimulator> simulator_;
    ftdi_standin::TStandInFiles standIn_;
    TIobrantLibrary iobrant_;
};

TEST_F(HostTarvoOverFtdiChild, IdentifiesReadsAndWritesTheModule)
{
    const Q_HANDLE handle =
        iobrant_.qCreateTarvo((std::string("provider=FTD_USB;serial_number=") + kSerialNumber).c_str(), "ADDR=5");
    ASSERT_NE(handle, 0u) << iobrant_.ErrorText();
    ASSERT_EQ(iobrant_.qOpen(handle), 0u) << iobrant_.ErrorText();
    EXPECT_TRUE(standIn_.Called("FT_OpenEx " + std::string(kSerialNumber)));

    ASSERT_EQ(simulator_->Command("set-inputs 01100001"), "OK");
    uint8_t states[8] = {};
    int32_t count = 8;
    ASSERT_EQ(iobrant_.qGetInputs(handle, states, &count), 0u) << iobrant_.ErrorText();
    EXPECT_EQ(States(states, count), "01100001");
    ASSERT_EQ(iobrant_.qSetOutput(handle, 7, 1), 0u) << iobrant_.ErrorText();
    EXPECT_EQ(simulator_->Command("get-outputs"), "OK 00000001");
    EXPECT_EQ(simulator_->Command("log"),
              Logged({Frame(5, 0xF3), Frame(5, 0x31), Frame(5, 0x20, {0x80 | 8})}));
    char info[64] = {};
    int32_t length = sizeof(info);
    ASSERT_EQ(iobrant_.qInfo(handle, info, &length), 0u) << iobrant_.ErrorText();
    EXPECT_STREQ(info, "TARVO 8/8 USB ;F97;V0573.26.01;T1");

    EXPECT_EQ(iobrant_.qReleaseTarvo(handle), 0u);
    EXPECT_TRUE(standIn_.Called("FT_Close"));
}

} // namespace
