// The driver binding with no driver, with one that lacks a function, and with the stand-in.
// Each test binds what it needs and lets it go again, so the rest of this program runs
// without a driver, as it always does.
#include "ftdi/Ftd2xx.h"

#include "conduvex/ftdi/FtdiDriverPins.h"
#include "conduvex/ftdi/FtdiStandInFiles.h"
#include "LastError.h"
#include "ResultCodes.h"

#include <gtest/gtest.h>

using namespace ftd2xx;

namespace {

class Ftd2xxBindingTest : public ::testing::Test {
protected:
    void TearDown() override { UnloadFtd2xx(); }
    ftdi_standin::TStandInFiles standIn_;
};

TEST_F(Ftd2xxBindingTest, WithoutTheLibraryEveryWrapperAnswersNotBound)
{
    LoadFtd2xx("no-such-driver.dll");
    EXPECT_FALSE(Ftd2xxLoaded());
    uint32_t count = 7;
    TFtHandle handle = nullptr;
    EXPECT_EQ(kFtNotBound, FT_CreateDeviceInfoList(&count));
    EXPECT_EQ(kFtNotBound, FT_OpenEx(const_cast<char*>("FT1"), kFtOpenBySerialNumber, &handle));
    EXPECT_EQ(kFtNotBound, FT_Close(handle));
    EXPECT_EQ(kFtNotBound, FT_EraseEE(handle));
    EXPECT_EQ(7u, count);
}

TEST_F(Ftd2xxBindingTest, ALibraryWithoutOneFunctionDoesNotCountAsLoaded)
{
    standIn_.Attach(ftdi_standin::TwoDevices());
    LoadFtd2xx(ftdi_standin::DriverPath("missing").c_str());
    EXPECT_FALSE(Ftd2xxLoaded());
    EXPECT_EQ("FT_EraseEE\r", MissingFtd2xxNames());
    uint32_t count = 0;
    EXPECT_EQ(kFtOk, FT_CreateDeviceInfoList(&count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(kFtNotBound, FT_EraseEE(nullptr));
}

TEST_F(Ftd2xxBindingTest, TheCompleteStandInIsLoadedAndPassesArgumentsThrough)
{
    standIn_.Attach(ftdi_standin::TwoDevices());
    LoadFtd2xx(ftdi_standin::DriverPath("standin").c_str());
    ASSERT_TRUE(Ftd2xxLoaded());
    EXPECT_EQ("", MissingFtd2xxNames());

    TFtHandle handle = nullptr;
    ASSERT_EQ(kFtOk, FT_OpenEx(const_cast<char*>("ftq77C"), kFtOpenBySerialNumber, &handle));
    EXPECT_EQ(kFtOk, FT_SetDataCharacteristics(handle, 7, 2, 1));
    EXPECT_EQ(kFtInvalidParameter, FT_SetDataCharacteristics(handle, 9, 0, 0));
    uint32_t written = 0;
    EXPECT_EQ(kFtOk, FT_Write(handle, "abc", 3, &written));
    EXPECT_EQ(3u, written);
    EXPECT_EQ(kFtOk, FT_Close(handle));
    EXPECT_EQ(kFtInvalidHandle, FT_Close(handle));
    EXPECT_TRUE(standIn_.Called("FT_OpenEx ftq77C 1"));
    EXPECT_TRUE(standIn_.Called("FT_SetDataCharacteristics 7 2 1"));
    EXPECT_TRUE(standIn_.Called("FT_Write 3"));
}

TEST_F(Ftd2xxBindingTest, StatusTextsAndCodes)
{
    EXPECT_EQ("FT_Close - General IO Error...", FtStatusText("FT_Close", kFtIoError));
    EXPECT_EQ("X - Invalid Handle...", FtStatusText("X", kFtInvalidHandle));
    EXPECT_EQ("X - Device Not Found....", FtStatusText("X", kFtDeviceNotFound));
    EXPECT_EQ("X - Invalid Parameter ...", FtStatusText("X", kFtInvalidParameter));
    EXPECT_EQ("X - Ftdi Direct Driver DLL not found...", FtStatusText("X", kFtNotBound));
    EXPECT_EQ("", FtStatusText("X", 17));
    for (TFtStatus status = 1; status <= 6; ++status)
        EXPECT_EQ(0x20000064u + status, FtStatusCode(status));
    EXPECT_EQ(kErrFtdNotLoaded, FtStatusCode(kFtNotBound));
}

TEST_F(Ftd2xxBindingTest, AFailedStepGoesToTheLastErrorWithItsName)
{
    ClearError();
    EXPECT_EQ(0u, FtStatusError("FT_Close", kFtOk));
    EXPECT_EQ(0u, LastErrorCode());
    EXPECT_EQ(kErrFtdIoError, FtStatusError("FT_Close", kFtIoError));
    EXPECT_EQ("FT_Close - General IO Error...", LastErrorMessage());
    // A status without a meaning of its own keeps the table's text, if the code has one.
    EXPECT_EQ(0x20000064u + 17, FtStatusError("FT_Close", 17));
    EXPECT_EQ("", LastErrorMessage());
}

TEST_F(Ftd2xxBindingTest, DescriptionBySerialNumber)
{
    standIn_.Attach(ftdi_standin::TwoDevices());
    LoadFtd2xx(ftdi_standin::DriverPath("standin").c_str());
    EXPECT_EQ("Vantel USB Adapter", FindFTDescription("ftq77C").value_or("-"));
    EXPECT_FALSE(FindFTDescription("FTQ77C")) << "serial numbers are compared exactly";
    EXPECT_FALSE(FindFTDescription("nothing"));
}

TEST_F(Ftd2xxBindingTest, DescriptionListIsSizedByTheSnapshotItFills)
{
    // The device count says one, the snapshot holds two: the list must hold two.
    standIn_.Attach(ftdi_standin::TwoDevices());
    standIn_.ReportListCount(1);
    LoadFtd2xx(ftdi_standin::DriverPath("standin").c_str());
    EXPECT_EQ("Vantel USB Adapter", FindFTDescription("ftq77C").value_or("-"));
}

TEST_F(Ftd2xxBindingTest, DescriptionLookupReportsDriverFailures)
{
    standIn_.Attach(ftdi_standin::TwoDevices());
    LoadFtd2xx(ftdi_standin::DriverPath("standin").c_str());
    standIn_.Fail("FT_ListDevices", kFtInsufficientResources);
    ClearError();
    EXPECT_FALSE(FindFTDescription("ftq77C"));
    EXPECT_EQ(kErrFtdInsufficientResources, LastErrorCode());
    EXPECT_EQ("GetFTDeviceCount - Insufficient Resources...", LastErrorMessage());
    EXPECT_FALSE(standIn_.Called("FT_CreateDeviceInfoList"));
}

} // namespace
