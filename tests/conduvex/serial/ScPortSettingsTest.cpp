#include "serial/ScPortSettings.h"

#include "ConduvexError.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kBinary = 0x1;
constexpr uint32_t kDtrOn = 0x10;
constexpr uint32_t kRtsOn = 0x1000;

TEST(ScPortSettings, DefaultsProgram115200EightNoneOneWithDtrAndRtsOn)
{
    const DCB dcb = BuildDcb(TScPortSettings{});
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(DcbFlags(dcb), kBinary | kDtrOn | kRtsOn);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
}

TEST(ScPortSettings, FlowControlTakesOverTheLineItHandshakesWith)
{
    TScPortSettings settings;
    settings.flowControl = TScFlowControl::fwRtsCts;
    EXPECT_EQ(DcbFlags(BuildDcb(settings)), kBinary | 0x2004 | kDtrOn);
    settings.flowControl = TScFlowControl::fwDtrDsr;
    EXPECT_EQ(DcbFlags(BuildDcb(settings)), kBinary | 0x28 | kRtsOn);
    settings.flowControl = TScFlowControl::fwXOnXOff;
    settings.dtr = false;
    settings.rts = false;
    EXPECT_EQ(DcbFlags(BuildDcb(settings)), kBinary | 0x300);
}

TEST(ScPortSettings, OptionsMapToTheirFlagBits)
{
    TScPortSettings settings;
    settings.dtr = settings.rts = false;
    Include(settings.options, TScComOption::coParityCheck);
    Include(settings.options, TScComOption::coBreakControl);
    EXPECT_EQ(DcbFlags(BuildDcb(settings)), kBinary | 0x2 | 0x4000);
    settings.options.set();
    EXPECT_EQ(DcbFlags(BuildDcb(settings)), kBinary | 0x2 | 0x40 | 0x80 | 0x400 | 0x800 | 0x4000);
}

TEST(ScPortSettings, UserRateIsProgrammedForBrUser)
{
    TScPortSettings settings;
    settings.baudRate = TScBaudrate::brUser;
    settings.userBaudRate = 12345;
    EXPECT_EQ(BuildDcb(settings).BaudRate, 12345u);
}

TEST(ScPortSettings, HighRatesAreProgrammedAndReportedAsTheyAre)
{
    TScPortSettings settings;
    settings.baudRate = TScBaudrate::br921600;
    EXPECT_EQ(BuildDcb(settings).BaudRate, 921600u);
    EXPECT_EQ(ScBaudValue(settings), 921600u);
    settings.baudRate = TScBaudrate::br460800;
    EXPECT_EQ(ScBaudValue(settings), 460800u);
    EXPECT_EQ(SettingsFromDcb(BuildDcb(settings), {}).baudRate, TScBaudrate::br460800);
}

TEST(ScPortSettings, ABlockReadsBackIntoTheSettingsThatBuildIt)
{
    TScPortSettings settings;
    settings.baudRate = TScBaudrate::br19200;
    settings.databits = TScDatabits::db7;
    settings.parity = TScParity::paEven;
    settings.stopbits = TScStopbits::sbTwo;
    settings.flowControl = TScFlowControl::fwRtsCts;
    Include(settings.options, TScComOption::coStripNull);
    settings.xonChar = 1;
    settings.xoffChar = 2;
    settings.xonLim = 100;
    settings.xoffLim = 200;
    const TScPortSettings back = SettingsFromDcb(BuildDcb(settings), TScPortSettings{});
    EXPECT_EQ(back.baudRate, TScBaudrate::br19200);
    EXPECT_EQ(back.userBaudRate, 0u);
    EXPECT_EQ(back.databits, TScDatabits::db7);
    EXPECT_EQ(back.parity, TScParity::paEven);
    EXPECT_EQ(back.stopbits, TScStopbits::sbTwo);
    EXPECT_EQ(back.flowControl, TScFlowControl::fwRtsCts);
    EXPECT_EQ(back.options, settings.options);
    EXPECT_EQ(back.xonChar, 1);
    EXPECT_EQ(back.xoffChar, 2);
    EXPECT_EQ(back.xonLim, 100);
    EXPECT_EQ(back.xoffLim, 200);
}

TEST(ScPortSettings, UnknownValuesFallBackAndDtrRtsAreKept)
{
    DCB dcb = BuildDcb(TScPortSettings{});
    dcb.BaudRate = 10000;
    dcb.ByteSize = 9;
    dcb.Parity = 7;
    dcb.StopBits = 5;
    SetDcbFlags(dcb, kBinary | 0x300 | 0x2004 | 0x28); // every flow mask: the highest wins
    TScPortSettings current;
    current.dtr = false;
    const TScPortSettings back = SettingsFromDcb(dcb, current);
    EXPECT_EQ(back.baudRate, TScBaudrate::brUser);
    EXPECT_EQ(back.userBaudRate, 10000u);
    EXPECT_EQ(back.databits, TScDatabits::db8);
    EXPECT_EQ(back.parity, TScParity::paNone);
    EXPECT_EQ(back.stopbits, TScStopbits::sbOne);
    EXPECT_EQ(back.flowControl, TScFlowControl::fwDtrDsr);
    EXPECT_FALSE(back.dtr);
    EXPECT_TRUE(back.rts);
}

TEST(ScPortSettings, CharacterTimeIsTenBitTimes)
{
    EXPECT_NEAR(CharTimeMs(9600), 1.0417, 0.0001);
    EXPECT_DOUBLE_EQ(CharTimeMs(1000), 10.0);
    EXPECT_THROW(CharTimeMs(0), EConduvexError);
}

TEST(ScPortSettings, XLimitsAreClampedToSixteenBits)
{
    EXPECT_EQ(ClampXLimit(10000000), 65535);
    EXPECT_EQ(ClampXLimit(-5), 0);
    EXPECT_EQ(ClampXLimit(1024), 1024);
}

} // namespace
