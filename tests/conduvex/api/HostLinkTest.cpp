#include "conduvex/api/HostLinkFixture.h"
#include "support/ProcessProbe.h"
#include "support/RecordingWindow.h"

#include <algorithm>

namespace {

constexpr UINT kLinkMessage = WM_USER + 60;
constexpr DWORD kArrivalWaitMs = 3000;

struct TExport {
    const char* name;
    WORD ordinal;
};

constexpr TExport kLinkExports[] = {
    {"ciReadVant97", 2},
    {"ciSndGetVant97", 3},
    {"ciSndGetVantel97", 4},
    {"ciSndGet", 5},
    {"ciClearReadBuffer", 6},
    {"ciGetConnectionStringDlg", 19},
    {"ciGetConfigValue", 20},
    {"ciSetConfig", 21},
    {"ciGetConfig", 22},
    {"ciGetProvider", 23},
    {"ciGetID", 26},
    {"ciGetDescription", 27},
    {"ciUnregisterCallBackNotifications", 29},
    {"ciRegisterCallBackNotifications", 30},
    {"ciUnregisterMsgNotifications", 31},
    {"ciRegisterMsgNotifications", 32},
    {"ciReadLength", 33},
    {"ciWrite", 34},
    {"ciRead", 35},
    {"ciConfigDialogAvailable", 36},
    {"ciExecuteConfigDialog", 37},
    {"ciSetValid", 38},
    {"ciGetValid", 39},
    {"ciIsActive", 40},
    {"ciRelease", 41},
    {"ciClose", 42},
    {"ciOpen", 43},
    {"ciCreateCB", 44},
    {"ciCreateM", 45},
    {"ciCreate", 46},
};

class HostLinkTest : public THostLinkFixture {
protected:
    void ExpectRefused(const std::string& text, uint32_t code, const std::string& message)
    {
        EXPECT_EQ(0u, ci_.ciCreate(text.c_str())) << text;
        EXPECT_EQ(code, ci_.LastError()) << text;
        EXPECT_EQ(message, ci_.ErrorText()) << text;
    }

    bool WaitForBytes(CI_HANDLE handle, int32_t count)
    {
        return PumpMessagesUntil([&] { return ci_.ciReadLength(handle) >= count; }, kArrivalWaitMs);
    }
};

TEST_F(HostLinkTest, EveryLinkExportIsFoundByNameAndByItsOrdinal)
{
    for (const TExport& entry : kLinkExports) {
        const FARPROC byName = GetProcAddress(ci_.Module(), entry.name);
        EXPECT_NE(nullptr, byName) << entry.name;
        EXPECT_EQ(byName, GetProcAddress(ci_.Module(), MAKEINTRESOURCEA(entry.ordinal))) << entry.name;
    }
}

TEST_F(HostLinkTest, EachConnectionStringFormNamesTheSamePort)
{
    const std::string port = std::to_string(kLinkPort);
    for (const std::string& text : {"provider=COM;comport=" + port, "Provider=SERIAL_PORT;PortName=COM" + port,
                                    "provider=com;comport=COM" + port + ";databits=8;rts=1;dtr=0"}) {
        const CI_HANDLE handle = Keep(ci_.ciCreate(text.c_str()));
        ASSERT_NE(0u, handle) << text << ": " << ci_.ErrorText();
        EXPECT_EQ("COM" + port, ci_.TextOf(ci_.ciGetID, handle)) << text;
        EXPECT_EQ("SERIAL_PORT", ci_.TextOf(ci_.ciGetProvider, handle)) << text;
        EXPECT_FALSE(IsActive(handle)) << text;
    }
}

TEST_F(HostLinkTest, EachCreationErrorHasItsCodeAndText)
{
    ExpectRefused("provider=COM;baudrate=9600", CI_ERR_BAD_CONNECTION_STRING, "COMPORT was not specified.");
    ExpectRefused("provider=modem", CI_ERR_BAD_CONNECTION_STRING, "Inknown provider MODEM.");
    ExpectRefused("port=5", CI_ERR_BAD_CONNECTION_STRING, "Inknown provider .");
    ExpectRefused("provider=TCP_CLIENT;host=127.0.0.1", CI_ERR_BAD_CONNECTION_STRING, "PORT was not specified.");
    ExpectRefused("provider=UDP;port=70000", CI_ERR_BAD_CONNECTION_STRING, "PORT is out of range 1..65535.");
    ExpectRefused(LinkText(";databits=2"), CI_ERR_EXCEPTION, "Range check error");
    // No converter driver lies beside the test program.
    ExpectRefused("provider=FTD;index=0", CI_ERR_LIBRARY_MISSING, "Library ftd2xx.dll was not loaded.");
}

TEST_F(HostLinkTest, APortThatCannotOpenLeavesTheLinkClosed)
{
    for (const int port : {serial_peers::kUnopenablePort, serial_peers::kMissingPort}) {
        const std::string text = "provider=COM;comport=" + std::to_string(port);
        const CI_HANDLE handle = Keep(ci_.ciCreate(text.c_str()));
        ASSERT_NE(0u, handle) << text;
        const uint32_t code = ci_.ciOpen(handle);
        EXPECT_TRUE(code == CI_ERR_EXCEPTION || code == CI_ERR_CONNECTION_FAILURE) << text << ": " << code;
        EXPECT_NE("", ci_.ErrorText()) << text;
        EXPECT_FALSE(IsActive(handle)) << text;

        const CI_HANDLE active = Keep(ci_.ciCreate((text + ";active=1").c_str()));
        EXPECT_NE(0u, active) << "the link stays in the table";
        EXPECT_NE(0u, ci_.LastError()) << text;
        EXPECT_FALSE(IsActive(active));
    }
}

TEST_F(HostLinkTest, OpenAndCloseAreAnnouncedToTheCallbackWithItsUserData)
{
    const CI_HANDLE handle = Keep(ci_.ciCreateCB(LinkText().c_str(), &Record, 0xBEEF));
    ASSERT_NE(0u, handle) << ci_.ErrorText();
    ASSERT_EQ(0u, ci_.ciOpen(handle)) << ci_.ErrorText();
    EXPECT_TRUE(IsActive(handle));
    ASSERT_TRUE(peer_->Write("ping"));
    EXPECT_TRUE(PumpMessagesUntil([] { return CountOf(CI_NOTIFY_DATA_RECEIVED) > 0; }, kArrivalWaitMs));
    ASSERT_EQ(0u, ci_.ciClose(handle));
    EXPECT_FALSE(IsActive(handle));

    EXPECT_EQ(1u, CountOf(CI_NOTIFY_OPENED));
    EXPECT_EQ(1u, CountOf(CI_NOTIFY_CLOSED));
    // Opening sets the line up again, which also announces configuration changes.
    std::vector<TNotification> all = Notifications();
    std::erase_if(all, [](const TNotification& n) { return n.kind == CI_NOTIFY_CONFIG_CHANGED; });
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(uint32_t{CI_NOTIFY_OPENED}, all.front().kind);
    EXPECT_EQ(uint32_t{CI_NOTIFY_CLOSED}, all.back().kind);
    for (const TNotification& notification : Notifications()) {
        EXPECT_EQ(handle, notification.handle);
        EXPECT_EQ(0xBEEFu, notification.userData);
    }
}

TEST_F(HostLinkTest, WindowMessagesArriveBothPostedAndSent)
{
    for (const CI_BOOL send : {CI_FALSE, CI_TRUE}) {
        TRecordingWindow window;
        const CI_HANDLE handle = ci_.ciCreateM(LinkText().c_str(), window.Handle(), kLinkMessage, send);
        ASSERT_NE(0u, handle) << ci_.ErrorText();
        ASSERT_EQ(0u, ci_.ciOpen(handle));
        ASSERT_TRUE(peer_->Write("data"));
        const auto hasData = [&] {
            return std::any_of(window.Received().begin(), window.Received().end(),
                               [](const TRecordedMessage& m) { return m.lParam == CI_NOTIFY_DATA_RECEIVED; });
        };
        EXPECT_TRUE(PumpMessagesUntil(hasData, kArrivalWaitMs)) << "send flag " << send;
        ASSERT_EQ(0u, ci_.ciRelease(handle));
        PumpMessagesFor(50);

        std::vector<TRecordedMessage> received = window.Received();
        std::erase_if(received, [](const TRecordedMessage& m) { return m.lParam == CI_NOTIFY_CONFIG_CHANGED; });
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(kLinkMessage, received.front().message);
        EXPECT_EQ(WPARAM{handle}, received.front().wParam);
        EXPECT_EQ(LPARAM{CI_NOTIFY_OPENED}, received.front().lParam);
        EXPECT_EQ(LPARAM{CI_NOTIFY_DATA_RECEIVED}, received.back().lParam)
            << "released before closing: no closed notification";
    }
}

TEST_F(HostLinkTest, WrittenBytesReachThePeerAndItsBytesAreRead)
{
    const CI_HANDLE handle = OpenLink();
    const uint8_t hello[] = {'h', 'e', 'l', 'l', 'o', 0, 1};
    ASSERT_EQ(0u, ci_.ciWrite(handle, hello, sizeof hello));
    EXPECT_EQ(std::string("hello\0\1", 7), peer_->Read(7, kArrivalWaitMs));

    ASSERT_TRUE(peer_->Write("world"));
    ASSERT_TRUE(WaitForBytes(handle, 5));
    uint8_t two[2];
    int32_t length = sizeof two;
    ASSERT_EQ(0u, ci_.ciRead(handle, two, &length));
    EXPECT_EQ(2, length);
    EXPECT_EQ(3, ci_.ciReadLength(handle));
    EXPECT_EQ("rld", ReadAll(handle));

    length = -1;
    EXPECT_EQ(CI_ERR_INVALID_PARAMETERS, ci_.ciRead(handle, two, &length));
}

TEST_F(HostLinkTest, ConfigurationIsReadAndChangedThroughTheHandle)
{
    const CI_HANDLE handle = Keep(ci_.ciCreateCB(LinkText().c_str(), &Record, 1));
    char value[32] = {};
    int32_t length = sizeof value;
    ASSERT_EQ(0u, ci_.ciGetConfigValue(handle, "BaudRate", value, &length));
    EXPECT_STREQ("115200", value);
    ASSERT_EQ(0u, ci_.ciSetConfig(handle, "baudrate=57600"));
    length = sizeof value;
    ASSERT_EQ(0u, ci_.ciGetConfigValue(handle, "baudrate", value, &length));
    EXPECT_STREQ("57600", value);
    EXPECT_GE(CountOf(CI_NOTIFY_CONFIG_CHANGED), 1u);
    length = sizeof value;
    EXPECT_EQ(CI_ERR_INVALID_PARAMETERS, ci_.ciGetConfigValue(handle, "parity", value, &length));
    EXPECT_EQ("Unknown parametter.", ci_.ErrorText());
    EXPECT_EQ(CI_TRUE, ci_.ciConfigDialogAvailable(handle));
}

TEST_F(HostLinkTest, ReleasingAnOpenLinkStopsItsThreads)
{
    const size_t before = ThreadIdsOfProcess().size();
    const CI_HANDLE handle = ci_.ciCreate(LinkText(";active=1").c_str());
    ASSERT_TRUE(IsActive(handle)) << ci_.ErrorText();
    EXPECT_GT(ThreadIdsOfProcess().size(), before);
    ASSERT_EQ(0u, ci_.ciRelease(handle));
    EXPECT_TRUE(PumpMessagesUntil([&] { return ThreadIdsOfProcess().size() <= before; }, kArrivalWaitMs));
    EXPECT_EQ(CI_ERR_INVALID_HANDLE, ci_.ciRelease(handle));
}

TEST_F(HostLinkTest, ClosingAndReleasingFromTheSendWindowsThreadWhileDataFlows)
{
    TRecordingWindow window;
    const CI_HANDLE handle = ci_.ciCreateM(LinkText(";active=1").c_str(), window.Handle(), kLinkMessage, CI_TRUE);
    ASSERT_TRUE(IsActive(handle)) << ci_.ErrorText();
    peer_->StartFlood(std::string(64, 'f'), 1);
    PumpMessagesFor(600);
    const DWORD start = GetTickCount();
    EXPECT_EQ(0u, ci_.ciClose(handle));
    EXPECT_EQ(0u, ci_.ciRelease(handle));
    EXPECT_LT(GetTickCount() - start, 2000u) << "no report may wait out its time-out";
    peer_->StopBackground();
}

} // namespace
