#include <gtest/gtest.h>

#include <vector>

#include "startup/Calibration.h"

namespace {

std::vector<uint8_t> Values(std::initializer_list<uint32_t> values)
{
    std::vector<uint8_t> bytes;
    for (const uint32_t value : values)
        for (int byte = 0; byte < 4; ++byte)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * byte)));
    return bytes;
}

TEST(Calibration, FiveValuesWithTheMarkOfAnotherModule)
{
    const auto calibration = ReadCalibration(Values({0x80001000u, 0x2000, 0x300, 0x400, 0x500}), false);
    ASSERT_TRUE(calibration);
    EXPECT_TRUE(calibration->otherModule);
    EXPECT_EQ(calibration->codeStart, 0x1000u) << "the mark is not part of the value";
    EXPECT_EQ(calibration->dataStart, 0x2000u);
    EXPECT_EQ(calibration->sizeOfCode, 0x300u);
    EXPECT_EQ(calibration->sizeOfInitializedData, 0x400u);
    EXPECT_EQ(calibration->sizeOfUninitializedData, 0x500u);
}

TEST(Calibration, TheMarkMustFitTheModuleItWasFoundIn)
{
    EXPECT_FALSE(ReadCalibration(Values({0x80001000u, 0, 0, 0, 0}), true)) << "marked as another, found in our own";
    EXPECT_FALSE(ReadCalibration(Values({0x1000, 0, 0, 0, 0}), false)) << "unmarked, found in another";
    const auto own = ReadCalibration(Values({0x1000, 0, 0, 0, 0}), true);
    ASSERT_TRUE(own);
    EXPECT_FALSE(own->otherModule);
}

TEST(Calibration, AnyOtherLengthIsIgnored)
{
    std::vector<uint8_t> bytes = Values({0x80001000u, 0, 0, 0, 0});
    bytes.push_back(0);
    EXPECT_FALSE(ReadCalibration(bytes, false));
    bytes.resize(19);
    EXPECT_FALSE(ReadCalibration(bytes, false));
    EXPECT_FALSE(ReadCalibration({}, false));
}

} // namespace
