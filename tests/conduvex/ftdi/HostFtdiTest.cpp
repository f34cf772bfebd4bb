// Converter enumeration through the exports. The library binds its driver once, when it
// loads, so each driver situation runs in a process of its own: this program again, copied
// into a folder that holds Conduvex.dll and the chosen driver (or none), running only the
// child suite of that situation. Outside such a child the child suites skip.
#include "conduvex/ftdi/FtdiStandInFiles.h"
#include "conduvex/api/HostEnumerationLibrary.h"
#include "support/ChildSuite.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Runs the child suite with Conduvex.dll and the driver variant (or none) beside it; its
// exit code (0: every test passed).
DWORD RunChild(const char* suite, const char* driverVariant)
{
    std::vector<child_suite::TFileCopy> files{{Beside("Conduvex.dll"), "Conduvex.dll"}};
    if (driverVariant)
        files.push_back({ftdi_standin::DriverPath(driverVariant), "ftd2xx.dll"});
    return child_suite::RunChildSuite(suite, files);
}

TEST(HostFtdiTest, WithTheStandInDriverAndTwoDevices)
{
    EXPECT_EQ(0u, RunChild("HostFtdiChildStandIn", "standin"));
}

TEST(HostFtdiTest, WithADriverThatLacksAFunction)
{
    EXPECT_EQ(0u, RunChild("HostFtdiChildMissingFunction", "missing"));
}

TEST(HostFtdiTest, WithoutADriver)
{
    EXPECT_EQ(0u, RunChild("HostFtdiChildNoDriver", nullptr));
}

// The child suites: fixtures that run only inside their own child.
template <const char* Suite>
class THostFtdiChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!child_suite::IsChildSuite(Suite))
            GTEST_SKIP() << "runs in a child process of HostFtdiTest";
        ASSERT_TRUE(lib_.Loaded());
        standIn_.Attach(ftdi_standin::TwoDevices());
    }

    THostEnumerationLibrary& lib_ = THostEnumerationLibrary::Get();
    ftdi_standin::TStandInFiles standIn_;
};

constexpr char kStandInSuite[] = "HostFtdiChildStandIn";
constexpr char kMissingSuite[] = "HostFtdiChildMissingFunction";
constexpr char kNoDriverSuite[] = "HostFtdiChildNoDriver";

using HostFtdiChildStandIn = THostFtdiChild<kStandInSuite>;
using HostFtdiChildMissingFunction = THostFtdiChild<kMissingSuite>;
using HostFtdiChildNoDriver = THostFtdiChild<kNoDriverSuite>;

TEST_F(HostFtdiChildStandIn, CountsTheDevicesAndGivesTheirDetails)
{
    EXPECT_EQ(2, lib_.FTDDeviceCount());
    EXPECT_TRUE(standIn_.Called("FT_CreateDeviceInfoList"));
    uint32_t flags = 9, type = 9, id = 0, location = 0;
    char serialNumber[17] = {};
    char description[65] = {};
    ASSERT_EQ(0u, lib_.FTDGetDetailByIndex(1, &flags, &type, &id, &location, serialNumber,
                                           description));
    EXPECT_EQ(0u, flags);
    EXPECT_EQ(0x12345678u, id);
    EXPECT_EQ(0x0212u, location);
    EXPECT_STREQ("ftq77C", serialNumber);
    EXPECT_STREQ("Vantel USB Adapter", description);
    EXPECT_EQ(0u, lib_.FTDGetDetailByIndex(0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           nullptr));

    uint32_t vendor = 0, product = 0;
    EXPECT_EQ(0u, lib_.FTDVidPidByIndex(0, &vendor, &product));
    EXPECT_EQ(0x0403u, vendor);
    EXPECT_EQ(0x6010u, product);
}

TEST_F(HostFtdiChildStandIn, TextsByIndexFollowTheBufferRules)
{
    char text[70] = {};
    int32_t length = 9;
    EXPECT_EQ(0u, lib_.FTDSerNumByIndex(0, text, &length));
    EXPECT_STREQ("FT4XA1B2", text);
    EXPECT_EQ(8, length);
    length = 8;
    EXPECT_EQ(0x20000004u, lib_.FTDSerNumByIndex(0, text, &length));
    EXPECT_EQ(9, length);
    length = 0;
    EXPECT_EQ(0u, lib_.FTDDevNameByIndex(1, nullptr, &length));
    EXPECT_EQ(19, length);
    length = sizeof text;
    EXPECT_EQ(0u, lib_.FTDDevNameByIndex(1, text, &length));
    EXPECT_STREQ("Vantel USB Adapter", text);
}

TEST_F(HostFtdiChildStandIn, IndexesOutsideTheDevices)
{
    char text[32];
    int32_t length = sizeof text;
    EXPECT_EQ(0x20000002u, lib_.FTDSerNumByIndex(-1, text, &length));
    EXPECT_EQ(0x20000066u, lib_.FTDSerNumByIndex(2, text, &length));
    EXPECT_EQ("0x20000066 FTD error - Device not found.", lib_.Error());
}

TEST_F(HostFtdiChildStandIn, ADeviceWithoutSerialNumberHasNoDetails)
{
    standIn_.Attach({{"", "Blank"}});
    EXPECT_EQ(1, lib_.FTDDeviceCount());
    char serialNumber[17] = {};
    char description[65] = {};
    EXPECT_EQ(0x20000008u, lib_.FTDGetDetailByIndex(0, nullptr, nullptr, nullptr, nullptr,
                                                    serialNumber, description));
    EXPECT_EQ("0x20000008 Required data not available.", lib_.Error());
}

TEST_F(HostFtdiChildStandIn, FindsByEveryCriterion)
{
    int32_t index = 7;
    EXPECT_EQ(0u, lib_.FTDFindDevice(0, "FTQ77C", nullptr, nullptr, nullptr, &index));
    EXPECT_EQ(1, index);
    EXPECT_EQ(0u, lib_.FTDFindDevice(0, nullptr, "usb", nullptr, nullptr, &index));
    EXPECT_EQ(1, index);
    const uint32_t vendor = 0x0403, product = 0x5678;
    EXPECT_EQ(0u, lib_.FTDFindDevice(0, nullptr, nullptr, &vendor, nullptr, &index));
    EXPECT_EQ(0, index);
    EXPECT_EQ(0u, lib_.FTDFindDevice(0, nullptr, nullptr, &vendor, &product, &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(0u, lib_.FTDFindDevice(1, nullptr, "rs232", nullptr, nullptr, &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(0u, lib_.FTDFindDevice(5, nullptr, nullptr, nullptr, nullptr, &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(0x20000009u, lib_.FTDFindDevice(0, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(HostFtdiChildStandIn, FindsByConnectionString)
{
    int32_t index = 7;
    EXPECT_EQ(0u, lib_.FTDFindDeviceCS(0, "provider=FTD_USB;serial_number=ftq77c", &index));
    EXPECT_EQ(1, index);
    EXPECT_EQ(0u, lib_.FTDFindDeviceCS(0, "device=RS232;vid=$0403", &index));
    EXPECT_EQ(0, index);
    EXPECT_EQ(0x20000002u, lib_.FTDFindDeviceCS(0, "INDEX=5", &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ("0x20000002 FTD device index doesn't exists.", lib_.Error());
}

TEST_F(HostFtdiChildStandIn, DriverStatusesBecomeFtdCodes)
{
    standIn_.Fail("FT_CreateDeviceInfoList", 4);
    EXPECT_EQ(-1, lib_.FTDDeviceCount());
    EXPECT_EQ("0x20000068 FTD error - IO Error.", lib_.Error());
    standIn_.Heal();
    standIn_.Fail("FT_GetDeviceInfoDetail", 6);
    uint32_t vendor = 0, product = 0;
    EXPECT_EQ(0x2000006Au, lib_.FTDVidPidByIndex(0, &vendor, &product));
    EXPECT_EQ("0x2000006A FTD error - Invalid parameter.", lib_.Error());
}

TEST_F(HostFtdiChildStandIn, ALinkToAConverterCarriesData)
{
    const CI_HANDLE handle = lib_.ciCreate("provider=FTD_USB;serial_number=FTQ77C;active=1");
    ASSERT_NE(0u, handle) << lib_.Error();
    CI_BOOL active = CI_FALSE;
    EXPECT_EQ(0u, lib_.ciIsActive(handle, &active));
    EXPECT_EQ(CI_TRUE, active);
    char id[32] = {};
    int32_t length = sizeof id;
    EXPECT_EQ(0u, lib_.ciGetID(handle, id, &length));
    EXPECT_STREQ("ftq77C", id);

    EXPECT_EQ(0u, lib_.ciWrite(handle, reinterpret_cast<const uint8_t*>("ping"), 4));
    const DWORD start = GetTickCount();
    while (lib_.ciReadLength(handle) < 4 && GetTickCount() - start < 3000)
        Sleep(5);
    uint8_t answer[8] = {};
    length = sizeof answer;
    EXPECT_EQ(0u, lib_.ciRead(handle, answer, &length));
    EXPECT_EQ("ping", std::string(reinterpret_cast<char*>(answer), static_cast<size_t>(length)));
    EXPECT_EQ(0u, lib_.ciRelease(handle));
    EXPECT_TRUE(standIn_.Called("FT_Close"));
}

TEST_F(HostFtdiChildStandIn, ALinkToNoMatchingConverterIsRefused)
{
    EXPECT_EQ(0u, lib_.ciCreate("provider=FTD;serial_number=NONE"));
    EXPECT_EQ("0x20000010 Device is not available.", lib_.Error());
}

// Without a usable driver every converter export says so, and none reaches a driver.
void ExpectDriverNotLoaded(const ftdi_standin::TStandInFiles& standIn)
{
    THostEnumerationLibrary& lib = THostEnumerationLibrary::Get();
    EXPECT_EQ(-1, lib.FTDDeviceCount());
    EXPECT_EQ("0x20000015 Library ftd2xx.dll was not loaded.", lib.Error());
    char text[32];
    int32_t length = sizeof text;
    EXPECT_EQ(0x20000015u, lib.FTDSerNumByIndex(0, text, &length));
    int32_t index = 7;
    EXPECT_EQ(0x20000002u, lib.FTDFindDeviceCS(0, "serial_number=ftq77C", &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ("0x20000002 Library ftd2xx.dll was not loaded.", lib.Error());
    EXPECT_EQ(0u, lib.FTDFindDevice(0, "ftq77C", nullptr, nullptr, nullptr, &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(0x20000015u, lib.LastError());
    EXPECT_EQ(0u, lib.ciCreate("provider=FTD_USB;serial_number=ftq77C"));
    EXPECT_EQ("0x20000015 Library ftd2xx.dll was not loaded.", lib.Error());
    EXPECT_TRUE(standIn.Calls().empty());
}

TEST_F(HostFtdiChildMissingFunction, TheDriverDoesNotCountAsLoaded)
{
    ExpectDriverNotLoaded(standIn_);
}

TEST_F(HostFtdiChildNoDriver, NoConverterCanBeReached)
{
    ExpectDriverNotLoaded(standIn_);
}

} // namespace
