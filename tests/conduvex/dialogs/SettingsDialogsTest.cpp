// The settings dialogs without a display: the connection string a page's fields make,
// and dialogs that cannot be shown counting as cancelled.
#include "dialogs/ConnStrDlg.h"
#include "dialogs/ConnectionStringDialog.h"
#include "ftdi/FTDIDevice.h"
#include "conduvex/api/LinkTableFixture.h"
#include "dialogs/TCPIPDialog.h"

#include <gtest/gtest.h>

namespace {

TEST(ConnStrTextTest, EachPageWritesOnlyWhatItsFieldsHold)
{
    TConnStrFields serial;
    serial.comPort = 3;
    serial.baudrate = "9600";
    serial.dtr = true;
    EXPECT_EQ("provider=SERIAL_PORT;comport=3;baudrate=9600;dtr=True", ConnStrTextOf(serial));
    serial.comPort = 0;
    serial.databits = "7";
    serial.dtr = std::nullopt;
    serial.rts = false;
    EXPECT_EQ("provider=SERIAL_PORT;baudrate=9600;databits=7;rts=False", ConnStrTextOf(serial));

    TConnStrFields tcp;
    tcp.page = TConnStrPage::TcpClient;
    EXPECT_EQ("provider=TCP_CLIENT;port=10001", ConnStrTextOf(tcp));
    tcp.page = TConnStrPage::UdpClient;
    tcp.host = "10.1.2.3";
    tcp.port = 0;
    EXPECT_EQ("provider=UDP_CLIENT;host=10.1.2.3;port=0", ConnStrTextOf(tcp));

    TConnStrFields converter;
    converter.page = TConnStrPage::FtdUsb;
    converter.baudrate = "115200";
    converter.host = "ignored";
    EXPECT_EQ("provider=FTD_USB;baudrate=115200", ConnStrTextOf(converter));
    converter.serialNumber = "FT4XA1B2";
    EXPECT_EQ("provider=FTD_USB;serial_number=FT4XA1B2;baudrate=115200", ConnStrTextOf(converter));
}

TEST(ConnStrTextTest, ProvidersAreKnownByLongAndShortNameInAnyCase)
{
    EXPECT_EQ(TConnStrPage::Serial, PageOfProvider("com"));
    EXPECT_EQ(TConnStrPage::Serial, PageOfProvider("Serial_Port"));
    EXPECT_EQ(TConnStrPage::TcpClient, PageOfProvider("TCP"));
    EXPECT_EQ(TConnStrPage::UdpClient, PageOfProvider("udp_client"));
    EXPECT_EQ(TConnStrPage::FtdUsb, PageOfProvider("ftd"));
    EXPECT_EQ(std::nullopt, PageOfProvider("FTDI"));
    EXPECT_EQ(std::nullopt, PageOfProvider(""));
}

// Without a display every dialog fails to appear; with one these would wait for a user.
bool DisplayAvailable()
{
    const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       nullptr, nullptr);
    if (!probe)
        return false;
    DestroyWindow(probe);
    return true;
}

class SettingsDialogsWithoutDisplayTest : public TLinkTableFixture {
protected:
    void SetUp() override
    {
        if (DisplayAvailable())
            GTEST_SKIP() << "a display is present";
        TLinkTableFixture::SetUp();
        InstallConnectionStringDialog(nullptr);
    }
};

TEST_F(SettingsDialogsWithoutDisplayTest, LinkDialogsCountAsCancelledAndChangeNothing)
{
    const struct {
        const char* create;
        const char* config;
    } links[] = {
        {"provider=TCP_CLIENT;host=127.0.0.1;port=5000", "provider=TCP_CLIENT;host=127.0.0.1;port=5000"},
        {"provider=UDP_CLIENT;host=127.0.0.1;port=5001", "Host=127.0.0.1;Port=5001"},
    };
    for (const auto& link : links) {
        const CI_HANDLE handle = ciCreate(link.create);
        ASSERT_NE(0u, handle) << ErrorText();
        EXPECT_EQ(CI_TRUE, ciConfigDialogAvailable(handle));
        EXPECT_EQ(CI_FALSE, ciExecuteConfigDialog(handle)) << link.create;
        EXPECT_EQ(link.config, TextOf(ciGetConfig, handle));
        ciRelease(handle);
    }
    const CI_HANDLE converter = Add(MakeObject<TFTDIDevice>("serial_number=FT1"));
    EXPECT_EQ(CI_FALSE, ciExecuteConfigDialog(converter));
}

TEST_F(SettingsDialogsWithoutDisplayTest, ConnectionStringDialogCountsAsCancelled)
{
    char buffer[64] = "junk";
    int32_t length = sizeof buffer;
    CI_BOOL accepted = 5;
    EXPECT_EQ(0u, ciGetConnectionStringDlg(buffer, &length, &accepted, "provider=TCP", "Pick"));
    EXPECT_EQ(CI_FALSE, accepted);
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0u, LastError());

    std::string host = "10.0.0.1";
    uint16_t port = 77, localPort = 5;
    EXPECT_FALSE(ShowUDPDialog("UDP", host, port, localPort));
    EXPECT_EQ("10.0.0.1", host);
    EXPECT_EQ(77, port);
    EXPECT_EQ(5, localPort);
}

} // namespace
