// The identification parse and the byte layouts of the Tarvo instructions.
#include "tarvo/TarvoCodecs.h"
#include "tarvo/TarvoInfo.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(std::initializer_list<uint8_t> values)
{
    std::string bytes;
    for (const uint8_t value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

TEST(TarvoInfoTest, TheFirstTokenGivesCountsAndKindTheOthersThermometers)
{
    TTarvoInfo info;
    ASSERT_TRUE(info.Parse("TARVO 8/8 ETH ;F97;V0573.26.01;T1"));
    EXPECT_EQ(info.inputs, 8);
    EXPECT_EQ(info.outputs, 8);
    EXPECT_EQ(info.connectionKind, "ETH");
    EXPECT_EQ(info.thermometers, 1);
    EXPECT_EQ(info.device.product, "0573");

    ASSERT_TRUE(info.Parse("tarvo rs 24/16 x ;F97;V0573.26.01;t3"));
    EXPECT_EQ(info.inputs, 24);
    EXPECT_EQ(info.outputs, 16);
    EXPECT_EQ(info.connectionKind, "RS");
    EXPECT_EQ(info.thermometers, 3);
}

TEST(TarvoInfoTest, AnswersWithoutReadableCountsAreNotIdentified)
{
    TTarvoInfo info;
    EXPECT_FALSE(info.Parse("TARVO ETH ;F97;V0573.26.01;T1"));
    // The scan ends at the first word with no blank after it.
    EXPECT_FALSE(info.Parse("TARVO 16/8;F97;V0573.26.01;T0"));
    EXPECT_EQ(info.inputs, -1);
    EXPECT_FALSE(info.Parse("TARVO 8/x ETH ;F97;V0573.26.01;T0"));
    EXPECT_EQ(info.inputs, 8);
    EXPECT_EQ(info.outputs, -1);
    EXPECT_FALSE(info.Parse("VANTEL 8/8 ETH ;F97;V0573.26.01;T0"));
    EXPECT_FALSE(info.Parse("TARVO 8/8 ETH ;F97;V0573.26"));
}

TEST(TarvoInfoTest, TheFirstModulesAreKnownByTheirVersion)
{
    TTarvoInfo info;
    EXPECT_FALSE(info.Parse("Tarvo;F97;V0573.26"));
    EXPECT_TRUE(info.ApplyLegacyProfile("Tarvo;F97;V0573.26"));
    EXPECT_EQ(info.inputs, 8);
    EXPECT_EQ(info.outputs, 8);
    EXPECT_FALSE(info.Parse("Tarvo;F97;V0573.27"));
    EXPECT_FALSE(info.ApplyLegacyProfile("Tarvo;F97;V0573.27"));
    EXPECT_FALSE(info.Parse("TARVO;F97;V0573.26"));
    EXPECT_FALSE(info.ApplyLegacyProfile("TARVO;F97;V0573.26"));
}

TEST(TarvoCodecsTest, IOBitStringsHoldTheFirstIOInTheLastByte)
{
    TTarvoIOArray states;
    ASSERT_TRUE(DecodeIOBits(Bytes({0x80, 0x01}), states));
    ASSERT_EQ(states.size(), 16u);
    EXPECT_TRUE(states[0]);
    EXPECT_TRUE(states[15]);
    EXPECT_FALSE(states[7]);

    // A filled array keeps its length; what the bytes do not reach stays.
    TTarvoIOArray longer(12, true);
    ASSERT_TRUE(DecodeIOBits(Bytes({0x00}), longer));
    EXPECT_EQ(longer.size(), 12u);
    EXPECT_FALSE(longer[7]);
    EXPECT_TRUE(longer[8]);
    EXPECT_FALSE(DecodeIOBits("", longer));

    TTarvoIOArray counted{true};
    EXPECT_FALSE(DecodeIOBits(Bytes({0x00}), counted, 9));
    EXPECT_EQ(counted, TTarvoIOArray{true});
    ASSERT_TRUE(DecodeIOBits(Bytes({0x01, 0x00}), counted, 9));
    EXPECT_EQ(counted.size(), 9u);
    EXPECT_TRUE(counted[8]);
}

TEST(TarvoCodecsTest, CounterAnswersCarryWholeBytesOfTheirWidth)
{
    TTarvoCounterArray values;
    ASSERT_TRUE(DecodeCounterValues(Bytes({24, 1, 2, 3, 4, 5, 6, 7}), values));
    EXPECT_EQ(values, (TTarvoCounterArray{0x010203, 0x040506}));
    ASSERT_TRUE(DecodeCounterValues(Bytes({12, 0x0F, 0xFF}), values));
    EXPECT_EQ(values, (TTarvoCounterArray{0x0FFF}));
    ASSERT_TRUE(DecodeCounterValues(Bytes({32, 0xFF, 0xFF, 0xFF, 0xFF}), values));
    EXPECT_EQ(values, (TTarvoCounterArray{0xFFFFFFFF}));
    EXPECT_FALSE(DecodeCounterValues(Bytes({0, 1}), values));
    EXPECT_FALSE(DecodeCounterValues(Bytes({40, 1, 2, 3, 4, 5}), values));
    EXPECT_FALSE(DecodeCounterValues("", values));

    EXPECT_EQ(CounterRequestByte(5, true), 0x85);
    EXPECT_EQ(CounterSettingByte(60, true, true), 0xFC);
    EXPECT_EQ(OutputCommandByte(127, true), 0xFF);
    EXPECT_EQ(OutputCommandByte(1, false), 0x01);
}

TEST(TarvoCodecsTest, TemperaturesAreSignedTenths)
{
    double degrees = 0;
    ASSERT_TRUE(DecodeTemperature(Bytes({1, 0x00, 0xEB}), degrees));
    EXPECT_DOUBLE_EQ(degrees, 23.5);
    ASSERT_TRUE(DecodeTemperature(Bytes({1, 0x80, 0x00}), degrees));
    EXPECT_DOUBLE_EQ(degrees, -3276.8);
    EXPECT_FALSE(DecodeTemperature(Bytes({1, 0x00}), degrees));
}

TEST(TarvoCodecsTest, NamesAreTwentyOneBytesBehindTheSelector)
{
    EXPECT_EQ(EncodeNameRequest(4, "A name far longer than the field", 7),
              std::string("\x04") + "7A name far longer th");
    std::string name;
    int number = -1;
    ASSERT_TRUE(DecodeName(std::string("xLamp") + std::string(16, '\0'), name, number));
    EXPECT_EQ(name, "Lamp");
    EXPECT_EQ(number, 0);
    EXPECT_FALSE(DecodeName("5Lamp", name, number));
}

TEST(TarvoCodecsTest, ModesAndHalvesAndThermostatSettings)
{
    EXPECT_EQ(DecodeMode(0x03), (TTarvoMode{0, 3, 0, 0}));
    EXPECT_EQ(DecodeMode(0xC7), (TTarvoMode{1, 2, 0, 0}));
    EXPECT_EQ(ValueToHalves(-1.0F), 0);
    EXPECT_EQ(ValueToHalves(10.26F), 21);
    EXPECT_FLOAT_EQ(HalvesToValue(21), 10.5F);

    TTarvoThermostatSetting setting{true, 2, true, 9, -12.5F, 30.0F, 4.5F, 0x5A};
    const std::string bytes = EncodeThermostatSetting(6, setting);
    EXPECT_EQ(bytes, Bytes({6, 0xD9, 0xFF, 0x83, 0x01, 0x2C, 9, 0x5A}));
    uint8_t channel = 0;
    TTarvoThermostatSetting decoded;
    ASSERT_TRUE(DecodeThermostatSetting(bytes, 0, channel, decoded));
    EXPECT_EQ(channel, 6);
    EXPECT_EQ(decoded, setting);
    EXPECT_FALSE(DecodeThermostatSetting(bytes, 1, channel, decoded));
}

} // namespace
