#include <gtest/gtest.h>

#include "ConduvexError.h"
#include "ResultCodes.h"

namespace {

TEST(ResultCodesTest, TableHoldsAllCodesInReleasedOrder) {
  const uint32_t expected[] = {
      0x20000001, 0x20000002, 0x20000003, 0x20000004, 0x20000005, 0x20000006, 0x20000007,
      0x20000008, 0x20000009, 0x20000010, 0x20000011, 0x20000012, 0x20000013, 0x20000014,
      0x20000015, 0x20000016, 0x20000017, 0x20000018, 0x20000064, 0x20000065, 0x20000066,
      0x20000067, 0x20000068, 0x20000069, 0x2000006A};
  ASSERT_EQ(kResultCodeTable.size(), std::size(expected));
  for (size_t i = 0; i < kResultCodeTable.size(); ++i) {
    EXPECT_EQ(kResultCodeTable[i].code, expected[i]) << i;
    EXPECT_FALSE(kResultCodeTable[i].text.empty()) << i;
    EXPECT_EQ(ResultCodeText(expected[i]), kResultCodeTable[i].text) << i;
  }
}

TEST(ResultCodesTest, TextsAreVerbatim) {
  EXPECT_EQ(ResultCodeText(kErrUndefined), "Undefined error.");
  EXPECT_EQ(ResultCodeText(kErrException), "Exception raised.");
  EXPECT_EQ(ResultCodeText(kErrApi), "API Error.");
  EXPECT_EQ(ResultCodeText(kErrBufferTooSmall), "Need more buffer size.");
  EXPECT_EQ(ResultCodeText(kErrInvalidHandle), "Invalid handle.");
  EXPECT_EQ(ResultCodeText(kErrBadConnectionString), "Bad parameters in connection string.");
  EXPECT_EQ(ResultCodeText(kErrIndexOutOfBand), "Index out of band.");
  EXPECT_EQ(ResultCodeText(kErrDataNotAvailable), "Required data not available.");
  EXPECT_EQ(ResultCodeText(kErrInvalidParameters), "Invalid parameters.");
  EXPECT_EQ(ResultCodeText(kErrDeviceNotAvailable), "Device is not available.");
  EXPECT_EQ(ResultCodeText(kErrNoResponse), "No response from device.");
  EXPECT_EQ(ResultCodeText(kErrConnectionFailure), "Connection failure.");
  EXPECT_EQ(ResultCodeText(kErrNotSupported), "Not supported.");
  EXPECT_EQ(ResultCodeText(kErrActionFailed), "Action not successfull.");
  EXPECT_EQ(ResultCodeText(kErrLibraryMissing), "Required dynamic library missing.");
  EXPECT_EQ(ResultCodeText(kErrCritical), "Undefined critical error.");
  EXPECT_EQ(ResultCodeText(kErrNotOpened), "Connection is not opened.");
  EXPECT_EQ(ResultCodeText(kErrBadVantelPacket), "Bad vantel packet.");
  EXPECT_EQ(ResultCodeText(kErrFtdNotLoaded), "FTD Dll was not correctly loaded.");
  EXPECT_EQ(ResultCodeText(kErrFtdInvalidHandle), "FTD error - Invalid handle.");
  EXPECT_EQ(ResultCodeText(kErrFtdDeviceNotFound), "FTD error - Device not found.");
  EXPECT_EQ(ResultCodeText(kErrFtdDeviceNotOpened), "FTD error - Device not opened.");
  EXPECT_EQ(ResultCodeText(kErrFtdIoError), "FTD error - IO Error.");
  EXPECT_EQ(ResultCodeText(kErrFtdInsufficientResources), "FTD error - Insufficient resources.");
  EXPECT_EQ(ResultCodeText(kErrFtdInvalidParameter), "FTD error - Invalid parameter.");
}

TEST(ResultCodesTest, UnknownCodesHaveNoText) {
  for (const uint32_t code : {0u, 0x2000000Au, 0x2000000Fu, 0x20000019u, 0x20000063u,
                              0x2000006Bu, 0x10000001u, 0xFFFFFFFFu})
    EXPECT_TRUE(ResultCodeText(code).empty()) << std::hex << code;
}

TEST(ResultCodesTest, ErrorCarriesMessageAndCode) {
  const EConduvexError plain("boom");
  EXPECT_STREQ(plain.what(), "boom");
  EXPECT_EQ(plain.Code(), kErrException);
  const EConduvexError specific("gone", kErrNotOpened);
  EXPECT_EQ(specific.Code(), kErrNotOpened);
}

}  // namespace
