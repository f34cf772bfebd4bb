#include "links/CreateCommInterface.h"
#include "conduvex/ftdi/FtdiStandInFiles.h"
#include "ftdi/Ftd2xx.h"
#include "conduvex/api/LinkTableFixture.h"
#include "support/RecordingWindow.h"
#include "support/SerialPeers.h"

namespace {

constexpr UINT kLinkMessage = WM_USER + 40;

class CreateCommInterfaceTest : public TLinkTableFixture {
protected:
    // A creation that must fail: 0, nothing in the table, and the code and text.
    void ExpectRefused(const char* text, uint32_t code, const std::string& message)
    {
        EXPECT_EQ(0u, ciCreate(text)) << text;
        EXPECT_EQ(code, LastError()) << text;
        EXPECT_EQ(message, ErrorText()) << text;
        EXPECT_EQ(0, ciHandlesCount()) << text;
    }

    CI_HANDLE Created(const char* text)
    {
        const CI_HANDLE handle = ciCreate(text);
        EXPECT_NE(0u, handle) << text << ": " << ErrorText();
        EXPECT_EQ(0u, LastError()) << text;
        return handle;
    }

    std::string ConfigValue(CI_HANDLE handle, const char* key)
    {
        char text[128] = {};
        int32_t length = sizeof text;
        EXPECT_EQ(0u, ciGetConfigValue(handle, key, text, &length)) << key << ": " << ErrorText();
        return text;
    }
};

TEST_F(CreateCommInterfaceTest, EveryProviderNameInAnyLetterCaseMakesItsLink)
{
    const struct {
        const char* text;
        const char* provider;
    } cases[] = {
        {"provider=tcp;port=10001", "TCP_CLIENT"},
        {"Provider=TCP_CLIENT;host=127.0.0.2;port=10001", "TCP_CLIENT"},
        {"PROVIDER=udp;port=10002", "UDP_CLIENT"},
        {"provider=Udp_Client;port=10002", "UDP_CLIENT"},
        {"provider=com;comport=3", "SERIAL_PORT"},
        {"provider=serial_port;portname=COM4", "SERIAL_PORT"},
    };
    for (const auto& entry : cases) {
        const CI_HANDLE handle = Created(entry.text);
        EXPECT_EQ(entry.provider, TextOf(ciGetProvider, handle)) << entry.text;
        CI_BOOL active = CI_TRUE;
        EXPECT_EQ(0u, ciIsActive(handle, &active));
        EXPECT_EQ(CI_FALSE, active) << entry.text;
    }
}

TEST_F(CreateCommInterfaceTest, SocketLinksTakeHostAndPortWithTheLoopbackAsDefaultHost)
{
    EXPECT_EQ("TCPC 127.0.0.1:10001", TextOf(ciGetID, Created("provider=tcp;port=10001")));
    EXPECT_EQ("TCPC 10.1.2.3:80", TextOf(ciGetID, Created("provider=TCP;host=10.1.2.3;port=80")));
    const CI_HANDLE udp = Created("provider=UDP;port=65535");
    EXPECT_EQ("127.0.0.1", ConfigValue(udp, "host"));
    EXPECT_EQ("65535", ConfigValue(udp, "port"));
}

TEST_F(CreateCommInterfaceTest, SocketLinksRefuseAMissingBadOrOutOfRangePort)
{
    ExpectRefused("provider=TCP_CLIENT;host=127.0.0.1", kErrBadConnectionString,
                  "PORT was not specified.");
    ExpectRefused("provider=UDP", kErrBadConnectionString, "PORT was not specified.");
    ExpectRefused("provider=TCP;port=0", kErrBadConnectionString, "PORT is out of range 1..65535.");
    ExpectRefused("provider=UDP;port=65536", kErrBadConnectionString,
                  "PORT is out of range 1..65535.");
    ExpectRefused("provider=TCP;port=-5", kErrBadConnectionString, "PORT is out of range 1..65535.");
    ExpectRefused("provider=TCP;port=http", kErrException, "'http' is not a valid integer value");
}

TEST_F(CreateCommInterfaceTest, UnknownOrMissingProviderNamesAreRefusedWithTheirName)
{
    ExpectRefused("provider=modem;port=1", kErrBadConnectionString, "Inknown provider MODEM.");
    ExpectRefused("comport=3", kErrBadConnectionString, "Inknown provider .");
    ExpectRefused("", kErrBadConnectionString, "Inknown provider .");
    ExpectRefused(nullptr, kErrBadConnectionString, "Inknown provider .");
    ExpectRefused("provider= serial ", kErrBadConnectionString, "Inknown provider SERIAL.");
}

TEST_F(CreateCommInterfaceTest, SerialLinksNeedAPortKeyAndDefaultToPortOne)
{
    ExpectRefused("provider=COM", kErrBadConnectionString, "COMPORT was not specified.");
    ExpectRefused("provider=COM;baudrate=9600", kErrBadConnectionString,
                  "COMPORT was not specified.");
    EXPECT_EQ("COM1", TextOf(ciGetID, Created("provider=COM;comport=")));
    EXPECT_EQ("COM1", TextOf(ciGetID, Created("provider=COM;portname=first")));
    EXPECT_EQ("COM12", TextOf(ciGetID, Created("provider=COM;portname=COM12")));
    EXPECT_EQ("COM7", TextOf(ciGetID, Created("provider=COM;comport=7;portname=COM12")));
}

TEST_F(CreateCommInterfaceTest, SerialKeysAreAppliedAndUnconvertibleValuesKeepTheCurrentOnes)
{
    const CI_HANDLE handle =
        Created("provider=SERIAL_PORT;comport=3;baudrate=19200;databits=7;rts=0;dtr=yes");
    EXPECT_EQ("COM3", TextOf(ciGetID, handle));
    EXPECT_EQ("19200", ConfigValue(handle, "baudrate"));
    EXPECT_EQ("7", ConfigValue(handle, "databits"));
    EXPECT_EQ("0", ConfigValue(handle, "rts"));
    EXPECT_EQ("-1", ConfigValue(handle, "dtr"));

    const CI_HANDLE defaults = Created("provider=COM;comport=3;baudrate=fast;databits=;rts=maybe");
    EXPECT_EQ("9600", ConfigValue(defaults, "baudrate"));
    EXPECT_EQ("8", ConfigValue(defaults, "databits"));
}

TEST_F(CreateCommInterfaceTest, ASerialValueTheLinkRefusesFailsTheCreation)
{
    ExpectRefused("provider=COM;comport=3;databits=3", kErrException, "Range check error");
    ExpectRefused("provider=COM;comport=3;databits=260", kErrException, "Range check error");
    ExpectRefused("provider=COM;comport=70000", kErrException, "Range check error");
}

TEST_F(CreateCommInterfaceTest, ConverterLinksNeedTheDriver)
{
    ftd2xx::UnloadFtd2xx();
    ExpectRefused("provider=FTD;index=0", kErrLibraryMissing, "Library ftd2xx.dll was not loaded.");
    ExpectRefused("provider=ftd_usb", kErrLibraryMissing, "Library ftd2xx.dll was not loaded.");
}

class CreateConverterLinkTest : public CreateCommInterfaceTest {
protected:
    void SetUp() override
    {
        CreateCommInterfaceTest::SetUp();
        standIn_.Attach(ftdi_standin::TwoDevices());
        ftd2xx::LoadFtd2xx(ftdi_standin::DriverPath("standin").c_str());
        ASSERT_TRUE(ftd2xx::Ftd2xxLoaded());
    }
    void TearDown() override
    {
        ftd2xx::UnloadFtd2xx();
        CreateCommInterfaceTest::TearDown();
    }

    ftdi_standin::TStandInFiles standIn_;
};

TEST_F(CreateConverterLinkTest, TheConverterTheKeysNameBecomesAnFtdiLink)
{
    const CI_HANDLE bySerial =
        Created("provider=FTD_USB;serial_number=ftq77c;baudrate=57600;databits=7;rts=1;dtr=0");
    EXPECT_EQ("FTD_USB", TextOf(ciGetProvider, bySerial));
    EXPECT_EQ("ftq77C", TextOf(ciGetID, bySerial));
    EXPECT_EQ("57600", ConfigValue(bySerial, "baudrate"));
    EXPECT_EQ("7", ConfigValue(bySerial, "databits"));
    EXPECT_EQ("-1", ConfigValue(bySerial, "rts"));

    const CI_HANDLE byIndex = Created("provider=ftd;index=0");
    EXPECT_EQ("FT4XA1B2", TextOf(ciGetID, byIndex));
}

TEST_F(CreateConverterLinkTest, NoMatchingConverterMakesNoLink)
{
    EXPECT_EQ(0u, ciCreate("provider=FTD;serial_number=NOPE"));
    EXPECT_NE(0u, LastError());
    EXPECT_EQ(0, ciHandlesCount());
}

TEST_F(CreateCommInterfaceTest, TheCallbackGetsItsUserDataOnEveryNotification)
{
    const CI_HANDLE handle = ciCreateCB("provider=COM;comport=3", &RecordNotification, 0x1234);
    ASSERT_NE(0u, handle);
    ASSERT_EQ(0u, ciSetConfig(handle, "baudrate=4800"));
    ASSERT_FALSE(RecordedNotifications().empty());
    for (const TRecordedNotification& notification : RecordedNotifications()) {
        EXPECT_EQ(handle, notification.handle);
        EXPECT_EQ(uint32_t{CI_NOTIFY_CONFIG_CHANGED}, notification.kind);
        EXPECT_EQ(0u, notification.data);
        EXPECT_EQ(0x1234u, notification.userData);
    }
}

TEST_F(CreateCommInterfaceTest, AWindowIsRegisteredOnlyWithBothWindowAndMessage)
{
    TRecordingWindow window;
    const CI_HANDLE noWindow = ciCreateM("provider=COM;comport=3", nullptr, kLinkMessage, CI_TRUE);
    const CI_HANDLE noMessage = ciCreateM("provider=COM;comport=3", window.Handle(), 0, CI_TRUE);
    const CI_HANDLE posted = ciCreateM("provider=COM;comport=3", window.Handle(), kLinkMessage, 0);
    const CI_HANDLE sent = ciCreateM("provider=COM;comport=3", window.Handle(), kLinkMessage, 7);
    ASSERT_TRUE(noWindow && noMessage && posted && sent);

    HWND registered = nullptr;
    UINT message = 0;
    bool send = false;
    EXPECT_FALSE(GlobalHandles().GetMsgNotifications(noWindow, registered, message, send));
    EXPECT_FALSE(GlobalHandles().GetMsgNotifications(noMessage, registered, message, send));
    ASSERT_TRUE(GlobalHandles().GetMsgNotifications(posted, registered, message, send));
    EXPECT_EQ(window.Handle(), registered);
    EXPECT_EQ(kLinkMessage, message);
    EXPECT_FALSE(send);
    ASSERT_TRUE(GlobalHandles().GetMsgNotifications(sent, registered, message, send));
    EXPECT_TRUE(send);

    ASSERT_EQ(0u, ciSetConfig(sent, "rts=1"));
    ASSERT_FALSE(window.Received().empty()) << "a sent message arrives at once";
    EXPECT_EQ(sent, window.Received().front().wParam);
    EXPECT_EQ(LPARAM{CI_NOTIFY_CONFIG_CHANGED}, window.Received().front().lParam);
}

TEST_F(CreateCommInterfaceTest, ALinkWhoseOpeningRaisesStaysInTheTable)
{
    const std::string text =
        "provider=COM;comport=" + std::to_string(serial_peers::kMissingPort) + ";active=1";
    const CI_HANDLE handle = ciCreate(text.c_str());
    ASSERT_NE(0u, handle);
    EXPECT_NE(0u, LastError());
    EXPECT_FALSE(ErrorText().empty());
    EXPECT_EQ(1, ciHandlesCount());
    EXPECT_EQ(handle, ciHandleByIndex(0));
    CI_BOOL active = CI_TRUE;
    EXPECT_EQ(0u, ciIsActive(handle, &active));
    EXPECT_EQ(CI_FALSE, active);
}

TEST_F(CreateCommInterfaceTest, AnActiveValueThatIsNoBooleanIsReportedAfterTheLinkWasMade)
{
    const CI_HANDLE handle = ciCreate("provider=COM;comport=3;active=perhaps");
    EXPECT_NE(0u, handle);
    EXPECT_EQ(kErrException, LastError());
    EXPECT_EQ("'perhaps' is not a valid boolean value", ErrorText());

    EXPECT_NE(0u, Created("provider=COM;comport=3;active=FALSE"));
    EXPECT_NE(0u, Created("provider=COM;comport=3;active=0"));
    EXPECT_NE(0u, Created("provider=COM;comport=3;active="));
    EXPECT_EQ(4, ciHandlesCount());
}

TEST_F(CreateCommInterfaceTest, CreationClearsAnEarlierError)
{
    SetError(kErrNoResponse);
    EXPECT_NE(0u, ciCreate("provider=COM;comport=2"));
    EXPECT_EQ(0u, LastError());
    EXPECT_EQ("", ErrorText());
}

} // namespace
