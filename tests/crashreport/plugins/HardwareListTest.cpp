#include "plugins/HardwareList.h"

#include <gtest/gtest.h>

namespace {

UnicodeString NoSuffix(const UnicodeString&)
{
    return {};
}

TEST(HardwareList, ClassesAndDevicesAreSortedIgnoringCaseUnderOneLinePerClass)
{
    THardwareList list;
    list.Add(u"Ports", u"COM2", u"");
    list.Add(u"Display", u"screen", u"");
    list.Add(u"ports", u"com1", u"");
    list.Add(u"Keyboard", u"keys", u"");
    EXPECT_EQ(list.Text(NoSuffix), u"+ Display\r\n  - screen\r\n+ Keyboard\r\n  - keys\r\n+ Ports\r\n  - com1\r\n  - COM2");
}

TEST(HardwareList, EqualDeviceNamesStaySideBySideTheLaterFirst)
{
    THardwareList list;
    list.Add(u"Disk", u"drive", u"first");
    list.Add(u"Disk", u"a drive", u"");
    list.Add(u"Disk", u"DRIVE", u"second");
    ASSERT_EQ(list.Classes().size(), 1u);
    const auto& devices = list.Classes()[0].devices;
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name, u"a drive");
    EXPECT_EQ(devices[1].driverKey, u"second");
    EXPECT_EQ(devices[2].driverKey, u"first");
}

TEST(HardwareList, OnlyDevicesWithADriverKeyAreAskedForASuffix)
{
    THardwareList list;
    list.Add(u"Net", u"card", u"{key}\\0001");
    list.Add(u"Net", u"other", u"");
    std::vector<UnicodeString> asked;
    const UnicodeString text = list.Text([&](const UnicodeString& key) {
        asked.push_back(key);
        return UnicodeString(u" (driver 1.2)");
    });
    EXPECT_EQ(text, u"+ Net\r\n  - card (driver 1.2)\r\n  - other");
    EXPECT_EQ(asked, std::vector<UnicodeString>{u"{key}\\0001"});
}

TEST(HardwareList, AnEmptyListIsAnEmptyText)
{
    EXPECT_EQ(THardwareList().Text(NoSuffix), u"");
}

TEST(HardwareDevices, BookkeepingSoftwareAndHiddenDevicesAreNotListed)
{
    EXPECT_TRUE(IsListedDevice(u"Ports", u"COM1", u"ACPI\\PNP0501", std::nullopt));
    EXPECT_TRUE(IsListedDevice(u"Ports", u"COM1", u"", 0x1));
    EXPECT_FALSE(IsListedDevice(u"", u"COM1", u"", std::nullopt));
    EXPECT_FALSE(IsListedDevice(u"Ports", u"", u"", std::nullopt));
    EXPECT_FALSE(IsListedDevice(u"LegacyDriver", u"x", u"", std::nullopt));
    EXPECT_FALSE(IsListedDevice(u"unknown", u"x", u"", std::nullopt));
    EXPECT_FALSE(IsListedDevice(u"Volume", u"x", u"", std::nullopt));
    EXPECT_FALSE(IsListedDevice(u"System", u"x", u"SW\\{guid}", std::nullopt));
    EXPECT_FALSE(IsListedDevice(u"System", u"x", u"root\\sw\\thing", std::nullopt));
    EXPECT_FALSE(IsListedDevice(u"Ports", u"COM1", u"", 0x8 | 0x1));
}

TEST(HardwareDevices, OnlyOtherProvidersDriversShowAVersion)
{
    EXPECT_EQ(DriverSuffix(u"Maker", u" 1.2.3 ", u"1-1-2020"), u" (driver 1.2.3)");
    EXPECT_EQ(DriverSuffix(u"Maker", u"", u" 6-21-2006 "), u" (driver 6-21-2006)");
    EXPECT_EQ(DriverSuffix(u"Maker", u"", u""), u"");
    EXPECT_EQ(DriverSuffix(u"Microsoft", u"1.0", u""), u"");
    EXPECT_EQ(DriverSuffix(u"MICROSOFT", u"1.0", u""), u"");
    EXPECT_EQ(DriverSuffix(u"(Standard system devices)", u"1.0", u""), u"");
    EXPECT_EQ(DriverSuffix(u"", u"1.0", u""), u"");
}

} // namespace
