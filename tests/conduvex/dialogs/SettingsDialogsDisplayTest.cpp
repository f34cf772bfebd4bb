// The settings dialogs opened through their exports and worked as a user would, from a
// second thread; each leaves a picture of itself under artifacts/.
#include "dialogs/ConnectionStringDialog.h"
#include "conduvex/dialogs/DialogDriver.h"
#include "ftdi/FTDIDevice.h"
#include "ftdi/Ftd2xx.h"
#include "conduvex/ftdi/FtdiDriverPins.h"
#include "conduvex/api/LinkTableFixture.h"
#include "dialogs/ScPortComboBox.h"
#include "dialogs/SettingsDialogIds.h"

#include <gtest/gtest.h>

#include <string>

using namespace dialog_driver;

namespace {

struct TDialogOutcome {
    uint32_t code = 0xFFFFFFFF;
    CI_BOOL accepted = 5;
    int32_t length = 0;
    std::string text;
};

class SettingsDialogsDisplayTest : public TLinkTableFixture {
protected:
    void SetUp() override
    {
        TLinkTableFixture::SetUp();
        InstallConnectionStringDialog(nullptr);
    }
    void TearDown() override
    {
        for (const CI_HANDLE handle : created_)
            ciRelease(handle);
        TLinkTableFixture::TearDown();
    }

    static TDialogOutcome RunConnStrDlg(const char* initial, const char* caption)
    {
        TDialogOutcome outcome;
        char buffer[256] = "junk";
        outcome.length = sizeof buffer;
        outcome.code = ciGetConnectionStringDlg(buffer, &outcome.length, &outcome.accepted,
                                                initial, caption);
        outcome.text = buffer;
        return outcome;
    }

    CI_HANDLE Create(const char* connectionString)
    {
        const CI_HANDLE handle = ciCreate(connectionString);
        EXPECT_NE(0u, handle) << ErrorText();
        created_.push_back(handle);
        return handle;
    }

    std::string ConfigOf(CI_HANDLE handle) { return TextOf(ciGetConfig, handle); }

    std::vector<CI_HANDLE> created_;
};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

bool ApplyEnabled(HWND dialog)
{
    return IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY)) != FALSE;
}

LRESULT TcpIpPageCount(HWND dialog)
{
    return SendMessageW(GetDlgItem(dialog, IDC_TCPIP_PAGES), TCM_GETITEMCOUNT, 0, 0);
}

TEST_F(SettingsDialogsDisplayTest, SerialPageBuildsTheStringFromItsFieldsAndOkHandsItOver)
{
    std::wstring caption;
    std::wstring built;
    bool saved = false;
    TDialogDriver driver([&](HWND dialog, DWORD) {
        caption = WindowText(dialog);
        ChooseItem(dialog, IDC_COM_PORT, ItemWithData(dialog, IDC_COM_PORT, 1));
        TypeInto(dialog, IDC_COM_BAUDRATE, L"9600");
        Click(dialog, IDC_COM_DTR); // undecided -> off
        Click(dialog, IDC_COM_DTR); // off -> on
        built = ItemText(dialog, IDC_CONN_STRING);
        saved = SaveScreenshot(dialog, "ConnStrDlg-serial");
        Click(dialog, IDOK);
    });
    const TDialogOutcome outcome = RunConnStrDlg(nullptr, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(L"Connection string dialog", caption);
    EXPECT_EQ(L"provider=SERIAL_PORT;comport=1;baudrate=9600;dtr=True", built);
    EXPECT_TRUE(saved);
    EXPECT_EQ(0u, outcome.code);
    EXPECT_EQ(CI_TRUE, outcome.accepted);
    EXPECT_EQ(Narrow(built), outcome.text);
    EXPECT_EQ(static_cast<int32_t>(built.size()), outcome.length);
}

TEST_F(SettingsDialogsDisplayTest, SwitchingToTheTcpPageGivesItsDefaultsAndCancelGivesNothing)
{
    std::wstring built;
    TDialogDriver driver([&](HWND dialog, DWORD) {
        ChoosePage(dialog, IDC_PAGE_PROVIDER, 1);
        built = ItemText(dialog, IDC_CONN_STRING);
        SaveScreenshot(dialog, "ConnStrDlg-tcp");
        Click(dialog, IDCANCEL);
    });
    const TDialogOutcome outcome = RunConnStrDlg("", "Pick a link");
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(L"provider=TCP_CLIENT;port=10001", built);
    EXPECT_EQ(0u, outcome.code);
    EXPECT_EQ(CI_FALSE, outcome.accepted);
    EXPECT_EQ("", outcome.text);
}

TEST_F(SettingsDialogsDisplayTest, AGivenStringOpensItsProvidersPageWithItsValuesAndEnterAccepts)
{
    std::wstring caption, host, port, shown;
    LRESULT page = -1;
    bool udpVisible = false, serialVisible = true;
    TDialogDriver driver([&](HWND dialog, DWORD thread) {
        caption = WindowText(dialog);
        page = SendMessageW(GetDlgItem(dialog, IDC_PAGE_PROVIDER), TCM_GETCURSEL, 0, 0);
        host = ItemText(dialog, IDC_UDP_HOST);
        port = ItemText(dialog, IDC_UDP_PORT);
        shown = ItemText(dialog, IDC_CONN_STRING);
        udpVisible = IsWindowVisible(GetDlgItem(dialog, IDC_UDP_HOST));
        serialVisible = IsWindowVisible(GetDlgItem(dialog, IDC_COM_PORT));
        SaveScreenshot(dialog, "ConnStrDlg-udp");
        PressKey(thread, VK_RETURN);
    });
    const TDialogOutcome outcome = RunConnStrDlg("provider=udp;host=10.1.2.3", "Pick a link");
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(L"Pick a link", caption);
    EXPECT_EQ(2, page);
    EXPECT_TRUE(udpVisible);
    EXPECT_FALSE(serialVisible);
    EXPECT_EQ(L"10.1.2.3", host);
    EXPECT_EQ(L"10001", port);
    EXPECT_EQ(L"provider=udp;host=10.1.2.3", shown);
    EXPECT_TRUE(driver.ClosedBySteps());
    EXPECT_EQ(CI_TRUE, outcome.accepted);
    EXPECT_EQ("provider=udp;host=10.1.2.3", outcome.text);
}

TEST_F(SettingsDialogsDisplayTest, ConverterPageTakesSerialAndBaudRateAndEscapeCancels)
{
    std::wstring built;
    TDialogDriver driver([&](HWND dialog, DWORD thread) {
        ChoosePage(dialog, IDC_PAGE_PROVIDER, 3);
        TypeInto(dialog, IDC_USB_SERIAL, L"FT4XA1B2");
        ChooseItem(dialog, IDC_USB_BAUDRATE, 13); // 115200
        Sleep(200);                               // the rebuild after a list choice is posted
        built = ItemText(dialog, IDC_CONN_STRING);
        SaveScreenshot(dialog, "ConnStrDlg-ftd");
        PressKey(thread, VK_ESCAPE);
    });
    const TDialogOutcome outcome = RunConnStrDlg("provider=COM;comport=1", nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(L"provider=FTD_USB;serial_number=FT4XA1B2;baudrate=115200", built);
    EXPECT_TRUE(driver.ClosedBySteps());
    EXPECT_EQ(0u, outcome.code);
    EXPECT_EQ(CI_FALSE, outcome.accepted);
    EXPECT_EQ("", outcome.text);
}

TEST_F(SettingsDialogsDisplayTest, ConverterPageListsTheAttachedConvertersAndTakesTheChosenOnesSerial)
{
    ftdi_standin::TStandInFiles standIn;
    std::vector<ftdi_standin::TDevice> devices = ftdi_standin::TwoDevices();
    devices.push_back({"NODESC01", ""}); // nothing to show for it: left out
    standIn.Attach(devices);
    ftd2xx::LoadFtd2xx(ftdi_standin::DriverPath("standin").c_str());
    ASSERT_TRUE(ftd2xx::Ftd2xxLoaded());

    std::vector<std::wstring> listed;
    std::vector<std::wstring> relisted;
    std::wstring serial;
    std::wstring built;
    TDialogDriver driver([&](HWND dialog, DWORD thread) {
        listed = ListItems(dialog, IDC_FTD_DEVICES);
        const LRESULT adapter = SendMessageW(GetDlgItem(dialog, IDC_FTD_DEVICES), CB_FINDSTRINGEXACT,
                                             static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(L"Vantel USB Adapter"));
        ChooseItem(dialog, IDC_FTD_DEVICES, static_cast<int>(adapter));
        Sleep(200); // the rebuild after a list choice is posted
        serial = ItemText(dialog, IDC_USB_SERIAL);
        built = ItemText(dialog, IDC_CONN_STRING);
        SaveScreenshot(dialog, "ConnStrDlg-ftd-devices");
        standIn.Attach({devices[0]});
        Click(dialog, IDC_FTD_REGEN);
        relisted = ListItems(dialog, IDC_FTD_DEVICES);
        PressKey(thread, VK_ESCAPE);
    });
    const TDialogOutcome outcome = RunConnStrDlg("provider=FTD_USB;serial_number=NONE", nullptr);
    driver.Join();
    ftd2xx::UnloadFtd2xx();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ((std::vector<std::wstring>{L"Dual RS232-HS A", L"Vantel USB Adapter"}), listed);
    EXPECT_EQ(L"ftq77C", serial);
    EXPECT_EQ(L"provider=FTD_USB;serial_number=ftq77C", built);
    EXPECT_EQ(std::vector<std::wstring>{L"Dual RS232-HS A"}, relisted);
    EXPECT_EQ(CI_FALSE, outcome.accepted);
}

TEST_F(SettingsDialogsDisplayTest, TcpDialogShowsItsCzechCaptionAndOkSetsHostAndPort)
{
    const CI_HANDLE link = Create("provider=TCP_CLIENT;host=127.0.0.1;port=5000");
    std::wstring caption, host, port;
    bool applyAtStart = true, applyAfterEdit = false;
    LRESULT pages = 0;
    TDialogDriver driver([&](HWND dialog, DWORD) {
        caption = WindowText(dialog);
        host = ItemText(dialog, IDC_HOST);
        port = ItemText(dialog, IDC_PORT);
        pages = TcpIpPageCount(dialog);
        applyAtStart = ApplyEnabled(dialog);
        TypeInto(dialog, IDC_HOST, L"10.0.0.7");
        TypeInto(dialog, IDC_PORT, L"6000");
        applyAfterEdit = ApplyEnabled(dialog);
        SaveScreenshot(dialog, "TCPIPDialog-tcp");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(CI_TRUE, ciConfigDialogAvailable(link));
    EXPECT_EQ(CI_TRUE, ciExecuteConfigDialog(link));
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(L"Nastaven\u00ED TCP", caption);
    EXPECT_EQ(L"127.0.0.1", host);
    EXPECT_EQ(L"5000", port);
    EXPECT_EQ(1, pages);
    EXPECT_FALSE(applyAtStart);
    EXPECT_TRUE(applyAfterEdit);
    EXPECT_EQ("provider=TCP_CLIENT;host=10.0.0.7;port=6000", ConfigOf(link));
}

TEST_F(SettingsDialogsDisplayTest, TcpDialogCancelledWithoutApplyChangesNothing)
{
    const CI_HANDLE link = Create("provider=TCP_CLIENT;host=127.0.0.1;port=5000");
    TDialogDriver driver([&](HWND dialog, DWORD thread) {
        TypeInto(dialog, IDC_PORT, L"6000");
        PressKey(thread, VK_ESCAPE);
    });
    EXPECT_EQ(CI_FALSE, ciExecuteConfigDialog(link));
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_TRUE(driver.ClosedBySteps());
    EXPECT_EQ("provider=TCP_CLIENT;host=127.0.0.1;port=5000", ConfigOf(link));
}

TEST_F(SettingsDialogsDisplayTest, UdpDialogKeepsWhatWasAppliedBeforeCancel)
{
    const CI_HANDLE link = Create("provider=UDP_CLIENT;host=127.0.0.1;port=5001");
    std::wstring caption, localPort;
    LRESULT pages = 0;
    bool applyAfterApply = true, stillOpenAfterBadOk = false;
    TDialogDriver driver([&](HWND dialog, DWORD) {
        caption = WindowText(dialog);
        pages = TcpIpPageCount(dialog);
        TypeInto(dialog, IDC_PORT, L"7000");
        Click(dialog, IDC_APPLY);
        applyAfterApply = ApplyEnabled(dialog);
        TypeInto(dialog, IDC_PORT, L"70000"); // beyond 16 bits: refused, the dialog stays
        Click(dialog, IDOK);
        stillOpenAfterBadOk = IsWindow(dialog) && IsWindowVisible(dialog);
        ChoosePage(dialog, IDC_TCPIP_PAGES, 1);
        localPort = ItemText(dialog, IDC_LISTEN_PORT);
        SaveScreenshot(dialog, "TCPIPDialog-udp-local");
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(CI_TRUE, ciExecuteConfigDialog(link));
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(L"Nastaven\u00ED UDP", caption);
    EXPECT_EQ(2, pages);
    EXPECT_FALSE(applyAfterApply);
    EXPECT_TRUE(stillOpenAfterBadOk);
    EXPECT_EQ(L"0", localPort);
    EXPECT_EQ("Host=127.0.0.1;Port=7000", ConfigOf(link));
}

TEST_F(SettingsDialogsDisplayTest, ConverterDialogShowsTheBaudRateAndCannotBeAccepted)
{
    const CI_HANDLE link = Add(MakeObject<TFTDIDevice>("serial_number=FT4XA1B2;baudrate=19200"));
    std::wstring label;
    bool openAfterButtons = false;
    TDialogDriver driver([&](HWND dialog, DWORD thread) {
        label = ItemText(dialog, IDC_FTDI_BAUD_LABEL);
        for (const int button : {IDC_FTDI_BUTTON1, IDC_FTDI_BUTTON2, IDC_FTDI_BUTTON3})
            Click(dialog, button);
        PressKey(thread, VK_RETURN);
        Sleep(200);
        openAfterButtons = IsWindow(dialog) != FALSE;
        SaveScreenshot(dialog, "FTDIdialog");
        PressKey(thread, VK_ESCAPE);
    });
    EXPECT_EQ(CI_TRUE, ciConfigDialogAvailable(link));
    EXPECT_EQ(CI_FALSE, ciExecuteConfigDialog(link));
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(L"Baud rate: 19200", label);
    EXPECT_TRUE(openAfterButtons);
    EXPECT_TRUE(driver.ClosedBySteps());
}

TEST_F(SettingsDialogsDisplayTest, SerialLinkShowsThePlatformsPortDialog)
{
    const CI_HANDLE link = Create("provider=SERIAL_PORT;comport=1");
    for (const int button : {IDOK, IDCANCEL}) {
        TDialogDriver driver([&](HWND dialog, DWORD) {
            if (button == IDOK)
                SaveScreenshot(dialog, "SerialPortDialog");
            Click(dialog, button);
        });
        const int32_t result = ciExecuteConfigDialog(link);
        driver.Join();
        ASSERT_TRUE(driver.Found());
        EXPECT_TRUE(driver.ClosedBySteps());
        EXPECT_EQ(button == IDOK ? CI_TRUE : CI_FALSE, result) << button;
    }
}

// A window holding one owner-drawn list, for the port list on its own.
class TPortListWindow {
public:
    TPortListWindow()
        : parent_(CreateWindowExW(0, L"STATIC", L"ports", WS_POPUP, 0, 0, 200, 200, nullptr,
                                  nullptr, nullptr, nullptr)),
          combo_(CreateWindowExW(0, L"COMBOBOX", L"",
                                 WS_CHILD | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                                 0, 0, 150, 100, parent_, nullptr, nullptr, nullptr))
    {
    }
    ~TPortListWindow() { DestroyWindow(parent_); }
    HWND Combo() const { return combo_; }

private:
    HWND parent_;
    HWND combo_;
};

TSerialPortState FakeProbe(int32_t number)
{
    switch (number) {
    case 2:
        return TSerialPortState::InUse;
    case 3:
        return TSerialPortState::Absent;
    default:
        return TSerialPortState::Free;
    }
}

std::vector<uint32_t> ListedItems(HWND combo)
{
    std::vector<uint32_t> items;
    const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index)
        items.push_back(static_cast<uint32_t>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0)));
    return items;
}

TEST(ScPortComboBoxDisplayTest, OptionsFilterThePortsAndItemsCarryNumberAndState)
{
    TPortListWindow window;
    TScPortComboBox ports(&FakeProbe);
    ports.Attach(window.Combo());
    const uint32_t free1 = 0x10001, inUse2 = 0x00002, free4 = 0x10004;
    EXPECT_EQ((std::vector<uint32_t>{free1, inUse2, free4}), ListedItems(window.Combo()));
    wchar_t caption[16] = {};
    SendMessageW(window.Combo(), CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(caption));
    EXPECT_STREQ(L"COM 2", caption);

    ports.SelectPort(4);
    ports.SetOptions(pcCheckExist | pcDisableOpen);
    EXPECT_EQ((std::vector<uint32_t>{free1, free4}), ListedItems(window.Combo()));
    EXPECT_EQ(1, SendMessageW(window.Combo(), CB_GETCURSEL, 0, 0));

    ports.SetOptions(0);
    ports.SetMaxComPorts(5);
    EXPECT_EQ(5u, ListedItems(window.Combo()).size());
    SendMessageW(window.Combo(), CB_SETCURSEL, 2, 0);
    ports.ItemChosen();
    EXPECT_EQ(3, ports.SelectedPort());
}

} // namespace
