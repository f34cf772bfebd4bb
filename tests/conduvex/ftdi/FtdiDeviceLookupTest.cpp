// Finding a converter by index, serial number, description and IDs, over the stand-in
// driver with two devices attached.
#include "ftdi/FtdiDeviceLookup.h"

#include "ConduvexError.h"
#include "ConnectionString.h"
#include "conduvex/ftdi/FtdiDriverPins.h"
#include "conduvex/ftdi/FtdiStandInFixture.h"
#include "LastError.h"

#include <gtest/gtest.h>

using namespace ftd2xx;

namespace {

class FtdiDeviceLookupTest : public TFtdiStandInFixture {
protected:
    static int32_t Find(const char* connectionString, int32_t start = 0)
    {
        return FindFTDDevice(TConnectionString(connectionString), start);
    }

    static std::string FailureOf(const char* connectionString)
    {
        return RaisedBy([&] { FindFtdiDeviceIndex(TConnectionString(connectionString)); });
    }
};

TEST_F(FtdiDeviceLookupTest, CountsAndDescribesTheAttachedDevices)
{
    EXPECT_EQ(2, FtdiDeviceCount());
    TFtdiDeviceDetail detail;
    ASSERT_EQ(0u, ReadFtdiDetail(1, detail));
    EXPECT_EQ("ftq77C", detail.serialNumber);
    EXPECT_EQ("Vantel USB Adapter", detail.description);
    EXPECT_EQ(0x12345678u, detail.id);
    EXPECT_EQ(0x1234u, detail.VendorId());
    EXPECT_EQ(0x5678u, detail.ProductId());
    EXPECT_EQ(0x0212u, detail.location);
    EXPECT_THROW(ReadFtdiDetail(-1, detail), EConduvexError);
    EXPECT_EQ(kErrFtdDeviceNotFound, ReadFtdiDetail(2, detail));
}

TEST_F(FtdiDeviceLookupTest, SerialNumberInAnyLetterCase)
{
    EXPECT_EQ(1, Find("serial_number=FTQ77c"));
    EXPECT_EQ(0, Find("SERIAL_NUMBER=ft4xa1b2"));
    EXPECT_EQ(-1, Find("serial_number=ftq77"));
}

TEST_F(FtdiDeviceLookupTest, DescriptionIsFoundAnywhereInAnyLetterCase)
{
    EXPECT_EQ(1, Find("device=usb"));
    EXPECT_EQ(0, Find("device=rs232"));
    EXPECT_EQ(-1, Find("device=usb", 2));
}

TEST_F(FtdiDeviceLookupTest, VendorAndProductIdsAndCombinedCriteria)
{
    EXPECT_EQ(1, Find("vid=$1234"));
    EXPECT_EQ(0, Find("pid=0x6010"));
    EXPECT_EQ(1, Find("vid=4660;pid=22136"));
    EXPECT_EQ(-1, Find("vid=0x0403;pid=0x5678"));
    EXPECT_EQ(-1, Find("device=Vantel;serial_number=FT4XA1B2"));
    EXPECT_EQ(0, Find("provider=FTD_USB;baudrate=9600")) << "no criterion: the first device";
}

TEST_F(FtdiDeviceLookupTest, StartLimitsTheSearch)
{
    EXPECT_EQ(0, Find("pid=0x6010", 0));
    EXPECT_EQ(-1, Find("pid=0x6010", 1));
    EXPECT_EQ(-1, Find("pid=0x6010", -1));
}

TEST_F(FtdiDeviceLookupTest, ByIndex)
{
    EXPECT_EQ(1, Find("index=1"));
    EXPECT_EQ(0, Find("INDEX=0", 1)) << "an index ignores the start";
    for (const char* text : {"index=2", "index=5", "index=-1"}) {
        try {
            Find(text);
            ADD_FAILURE() << text;
        } catch (const EConduvexError& error) {
            EXPECT_STREQ("FTD device index doesn't exists.", error.what());
            EXPECT_EQ(kErrException, error.Code());
        }
    }
}

TEST_F(FtdiDeviceLookupTest, DevicesWithoutSerialNumberAreNeverFound)
{
    standIn_.Attach({{"", "Blank USB"}, {"S2", "Second USB"}});
    EXPECT_EQ(1, Find("device=usb"));
}

TEST_F(FtdiDeviceLookupTest, LinkCreationGetsAnIndexOrTheReason)
{
    EXPECT_EQ(1, FindFtdiDeviceIndex(TConnectionString("provider=FTD;serial_number=ftq77c")));
    EXPECT_EQ(std::to_string(kErrDeviceNotAvailable) + " Device is not available.",
              FailureOf("provider=FTD;serial_number=other"));
    standIn_.Fail("FT_CreateDeviceInfoList", kFtIoError);
    EXPECT_EQ(std::to_string(kErrFtdIoError) + " FTD error - IO Error.",
              FailureOf("provider=FTD;serial_number=ftq77c"));
    UnloadFtd2xx();
    EXPECT_EQ(std::to_string(kErrLibraryMissing) + " Library ftd2xx.dll was not loaded.",
              FailureOf("provider=FTD;serial_number=ftq77c"));
}

TEST_F(FtdiDeviceLookupTest, DriverFailuresBecomeFtdCodes)
{
    standIn_.Fail("FT_CreateDeviceInfoList", kFtInsufficientResources);
    EXPECT_EQ(-1, FtdiDeviceCount());
    EXPECT_EQ(kErrFtdInsufficientResources, LastErrorCode());
    EXPECT_EQ("FTD error - Insufficient resources.", LastErrorMessage());
    EXPECT_EQ(-1, Find("device=usb"));

    standIn_.Fail("FT_GetDeviceInfoDetail", kFtInvalidHandle);
    TFtdiDeviceDetail detail;
    EXPECT_EQ(kErrFtdInvalidHandle, ReadFtdiDetail(0, detail));
    EXPECT_EQ("FTD error - Invalid handle.", LastErrorMessage());
}

TEST_F(FtdiDeviceLookupTest, WithoutTheDriver)
{
    UnloadFtd2xx();
    EXPECT_EQ(-1, FtdiDeviceCount());
    EXPECT_EQ(kErrLibraryMissing, LastErrorCode());
    EXPECT_EQ("Library ftd2xx.dll was not loaded.", LastErrorMessage());
    TFtdiDeviceDetail detail;
    EXPECT_EQ(kErrLibraryMissing, ReadFtdiDetail(0, detail));
    EXPECT_THROW(Find("serial_number=ftq77C"), EConduvexError);
}

} // namespace
