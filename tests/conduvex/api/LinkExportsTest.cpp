#include "dialogs/ConnectionStringDialog.h"
#include "conduvex/api/LinkTableFixture.h"
#include "serial/SerialPortInterface.h"
#include "support/RecordingWindow.h"

#include <cstring>

namespace {

constexpr UINT kLinkMessage = WM_USER + 41;

// Opening reports nothing wrong but leaves the link closed, as a port that cannot open.
class TUnopenableLink : public TFakeLink {
public:
    bool Open() override { return false; }
};

class TDialogLink : public TFakeLink {
public:
    bool ConfigDialogAvailable() override { return true; }
    bool ExecuteConfigDialog() override { return accept_; }
    void SetAccept(bool accept) { accept_ = accept; }

private:
    bool accept_ = false;
};

class LinkExportsTest : public TLinkTableFixture {
protected:
    void SetUp() override
    {
        TLinkTableFixture::SetUp();
        link_ = MakeObject<TFakeLink>("FAKE-7");
        handle_ = Add(link_);
    }

    int32_t Read(uint8_t* buffer, int32_t capacity, uint32_t expectedCode = 0)
    {
        int32_t length = capacity;
        EXPECT_EQ(expectedCode, ciRead(handle_, buffer, &length)) << ErrorText();
        return length;
    }

    TIntfPtr<TFakeLink> link_;
    CI_HANDLE handle_ = 0;
};

TEST_F(LinkExportsTest, EveryHandleExportRefusesAHandleNotInTheTable)
{
    const auto stranger = static_cast<CI_HANDLE>(IdentityOf(MakeObject<TFakeLink>().Get()));
    uint8_t buffer[8];
    int32_t length = sizeof buffer;
    CI_BOOL flag = 5;
    const uint32_t codes[] = {
        ciOpen(0),
        ciClose(stranger),
        ciRelease(0),
        ciIsActive(0, &flag),
        ciSetValid(0, CI_TRUE),
        ciGetValid(0, &flag),
        ciWrite(0, buffer, 1),
        ciRead(0, buffer, &length),
        ciClearReadBuffer(0),
        ciSetConfig(0, "a=1"),
        ciRegisterMsgNotifications(stranger, nullptr, 0, 0),
        ciUnregisterMsgNotifications(0),
        ciRegisterCallBackNotifications(0, &RecordNotification, 0),
        ciUnregisterCallBackNotifications(0),
        static_cast<uint32_t>(ciConfigDialogAvailable(0)),
        static_cast<uint32_t>(ciExecuteConfigDialog(stranger)),
    };
    for (const uint32_t code : codes)
        EXPECT_EQ(kErrInvalidHandle, code);
    EXPECT_EQ(-1, ciReadLength(0));
    EXPECT_EQ(kErrInvalidHandle, LastError());
    EXPECT_EQ("Invalid handle.", ErrorText());
    EXPECT_EQ(0, flag) << "ciIsActive clears its answer first";
}

TEST_F(LinkExportsTest, OpenAndCloseMoveTheLinkAndAnnounceIt)
{
    ASSERT_EQ(0u, ciRegisterCallBackNotifications(handle_, &RecordNotification, 9));
    CI_BOOL active = CI_FALSE;
    EXPECT_EQ(0u, ciOpen(handle_));
    EXPECT_EQ(0u, ciIsActive(handle_, &active));
    EXPECT_EQ(CI_TRUE, active);
    EXPECT_EQ(0u, ciClose(handle_));
    EXPECT_EQ(0u, ciIsActive(handle_, &active));
    EXPECT_EQ(CI_FALSE, active);
    ASSERT_EQ(2u, RecordedNotifications().size());
    EXPECT_EQ(uint32_t{CI_NOTIFY_OPENED}, RecordedNotifications()[0].kind);
    EXPECT_EQ(uint32_t{CI_NOTIFY_CLOSED}, RecordedNotifications()[1].kind);
    EXPECT_EQ(9u, RecordedNotifications()[1].userData);
}

TEST_F(LinkExportsTest, OpeningALinkThatStaysClosedIsAConnectionFailure)
{
    const CI_HANDLE handle = Add(MakeObject<TUnopenableLink>());
    EXPECT_EQ(kErrConnectionFailure, ciOpen(handle));
    EXPECT_EQ("Connection failure.", ErrorText());
    CI_BOOL active = CI_TRUE;
    EXPECT_EQ(0u, ciIsActive(handle, &active));
    EXPECT_EQ(CI_FALSE, active);
}

TEST_F(LinkExportsTest, ReleaseClosesAnActiveLinkAndFreesItWhenNothingElseHoldsIt)
{
    bool freed = false;
    const CI_HANDLE handle = Add(MakeObject<TTrackedLink>(&freed));
    ASSERT_EQ(0u, ciOpen(handle));
    ASSERT_EQ(0u, ciRegisterCallBackNotifications(handle, &RecordNotification, 0));

    EXPECT_EQ(0u, ciRelease(handle));
    EXPECT_TRUE(freed);
    EXPECT_TRUE(RecordedNotifications().empty()) << "the entry was gone before the link closed";
    EXPECT_EQ(kErrInvalidHandle, ciRelease(handle));
    EXPECT_EQ(1, ciHandlesCount());
}

TEST_F(LinkExportsTest, ReleaseTakesTheFirstEntryOfALinkAddedTwice)
{
    ASSERT_EQ(0u, ciOpen(handle_));
    const CI_HANDLE second = Add(link_);
    ASSERT_EQ(second, handle_);
    EXPECT_EQ(0u, ciRelease(handle_));
    EXPECT_FALSE(link_->IsActive()) << "released links are closed";
    EXPECT_EQ(1, ciHandlesCount()) << "the second entry of the same link";
}

TEST_F(LinkExportsTest, ValidityIsStoredAndGivenBackAsA32BitBoolean)
{
    CI_BOOL valid = 7;
    EXPECT_EQ(0u, ciGetValid(handle_, &valid));
    EXPECT_EQ(CI_FALSE, valid);
    EXPECT_EQ(0u, ciSetValid(handle_, 2));
    EXPECT_EQ(0u, ciGetValid(handle_, &valid));
    EXPECT_EQ(CI_TRUE, valid);
    EXPECT_EQ(kErrInvalidParameters, ciGetValid(handle_, nullptr));
    EXPECT_EQ(kErrInvalidParameters, ciIsActive(handle_, nullptr));
}

TEST_F(LinkExportsTest, IdentifierFollowsTheTextOutConvention)
{
    int32_t length = 0;
    EXPECT_EQ(0u, ciGetID(handle_, nullptr, &length));
    EXPECT_EQ(7, length) << "FAKE-7 and its NUL";

    char exact[7];
    EXPECT_EQ(0u, ciGetID(handle_, exact, &length));
    EXPECT_EQ(6, length);
    EXPECT_STREQ("FAKE-7", exact);

    char small[6] = "xxxxx";
    length = sizeof small;
    EXPECT_EQ(kErrBufferTooSmall, ciGetID(handle_, small, &length));
    EXPECT_EQ(7, length);
    EXPECT_STREQ("xxxxx", small);
    EXPECT_EQ("FAKE-7", TextOf(ciGetDescription, handle_));
}

TEST_F(LinkExportsTest, WriteSendsPositiveLengthsOnly)
{
    const uint8_t bytes[] = {'a', 0, 'b'};
    EXPECT_EQ(0u, ciWrite(handle_, bytes, 3));
    EXPECT_EQ(0u, ciWrite(handle_, bytes, 0));
    EXPECT_EQ(0u, ciWrite(handle_, nullptr, -4));
    EXPECT_EQ(std::string("a\0b", 3), link_->Written());
    EXPECT_EQ(1, link_->WriteCount());
    EXPECT_EQ(kErrInvalidParameters, ciWrite(handle_, nullptr, 2));
}

TEST_F(LinkExportsTest, ReadTakesAtMostTheBuffersCapacityAndCountsWhatItTook)
{
    link_->QueueIncoming("hello world");
    EXPECT_EQ(11, ciReadLength(handle_));
    uint8_t buffer[16] = {};
    ASSERT_EQ(5, Read(buffer, 5));
    EXPECT_EQ(0, std::memcmp(buffer, "hello", 5));
    EXPECT_EQ(6, ciReadLength(handle_)) << "the rest waits in the read-ahead buffer";
    link_->QueueIncoming("!");
    EXPECT_EQ(7, ciReadLength(handle_)) << "buffered plus waiting in the transport";
    EXPECT_EQ(0, Read(buffer, 0));
    ASSERT_EQ(7, Read(buffer, sizeof buffer));
    EXPECT_EQ(0, std::memcmp(buffer, " world!", 7));
    EXPECT_EQ(0, Read(buffer, sizeof buffer));
}

TEST_F(LinkExportsTest, ReadRefusesANegativeLengthOrNoBufferAndTakesNothing)
{
    link_->QueueIncoming("abc");
    uint8_t buffer[4] = {};
    EXPECT_EQ(-1, Read(buffer, -1, kErrInvalidParameters));
    EXPECT_EQ("Invalid parameters.", ErrorText());
    EXPECT_EQ(3, Read(nullptr, 3, kErrInvalidParameters));
    EXPECT_EQ(kErrInvalidParameters, ciRead(handle_, buffer, nullptr));
    EXPECT_EQ(3, ciReadLength(handle_));
    EXPECT_EQ(0, buffer[0]);
}

TEST_F(LinkExportsTest, ClearReadBufferDropsBufferedAndWaitingBytes)
{
    link_->QueueIncoming("12345");
    uint8_t buffer[2];
    Read(buffer, 2);
    link_->QueueIncoming("678");
    EXPECT_EQ(0u, ciClearReadBuffer(handle_));
    EXPECT_EQ(0, ciReadLength(handle_));
}

TEST_F(LinkExportsTest, ConfigurationIsTheLinksConnectionString)
{
    EXPECT_EQ(0u, ciSetConfig(handle_, "Mode=fast;Names={a;b}"));
    EXPECT_EQ("Mode=fast;Names={a;b}", TextOf(ciGetConfig, handle_));

    char value[16] = {};
    int32_t length = sizeof value;
    EXPECT_EQ(0u, ciGetConfigValue(handle_, "MODE", value, &length));
    EXPECT_STREQ("fast", value);
    EXPECT_EQ(4, length);
    length = sizeof value;
    EXPECT_EQ(0u, ciGetConfigValue(handle_, "names", value, &length));
    EXPECT_STREQ("a;b", value);

    length = sizeof value;
    EXPECT_EQ(kErrInvalidParameters, ciGetConfigValue(handle_, "speed", value, &length));
    EXPECT_EQ("Unknown parametter.", ErrorText());
    EXPECT_EQ(kErrInvalidParameters, ciGetConfigValue(handle_, nullptr, value, &length));

    EXPECT_EQ(0u, ciSetConfig(handle_, nullptr));
    EXPECT_EQ("", TextOf(ciGetConfig, handle_));
}

TEST_F(LinkExportsTest, ProviderNamesComeFromTheInterfacesALinkAnswers)
{
    EXPECT_EQ("<unknown>", TextOf(ciGetProvider, handle_));
    const CI_HANDLE serial = Add(MakeObject<TSerialPortInterface>("COM5"));
    EXPECT_EQ("SERIAL_PORT", TextOf(ciGetProvider, serial));
    int32_t length = 0;
    EXPECT_EQ(0u, ciGetProvider(serial, nullptr, &length));
    EXPECT_EQ(12, length);
}

TEST_F(LinkExportsTest, DialogExportsGiveBooleansOrTheCode)
{
    EXPECT_EQ(CI_FALSE, ciConfigDialogAvailable(handle_));
    EXPECT_EQ(CI_FALSE, ciExecuteConfigDialog(handle_));
    const auto dialogLink = MakeObject<TDialogLink>();
    const CI_HANDLE handle = Add(dialogLink);
    EXPECT_EQ(CI_TRUE, ciConfigDialogAvailable(handle));
    EXPECT_EQ(CI_FALSE, ciExecuteConfigDialog(handle));
    dialogLink->SetAccept(true);
    EXPECT_EQ(CI_TRUE, ciExecuteConfigDialog(handle));
}

class ConnectionStringDialogTest : public TLinkTableFixture {
protected:
    void TearDown() override
    {
        InstallConnectionStringDialog(nullptr);
        TLinkTableFixture::TearDown();
    }

    static std::optional<std::string> Accepting(const std::string& initial, const char* caption)
    {
        Shown() = initial + "|" + (caption ? caption : "<none>");
        return Answer();
    }
    static std::string& Shown()
    {
        static std::string shown;
        return shown;
    }
    static std::optional<std::string>& Answer()
    {
        static std::optional<std::string> answer;
        return answer;
    }

    uint32_t Run(char* buffer, int32_t& length, CI_BOOL& accepted, const char* initial = nullptr)
    {
        accepted = 5;
        return ciGetConnectionStringDlg(buffer, &length, &accepted, initial, nullptr);
    }
};

TEST_F(ConnectionStringDialogTest, ArgumentsAreCheckedBeforeAnyDialog)
{
    InstallConnectionStringDialog(&Accepting);
    Shown().clear();
    char buffer[8];
    int32_t length = 0;
    CI_BOOL accepted = 5;
    EXPECT_EQ(kErrBufferTooSmall, Run(buffer, length, accepted));
    EXPECT_EQ(CI_FALSE, accepted);
    length = -3;
    EXPECT_EQ(kErrBufferTooSmall, Run(buffer, length, accepted));
    length = 8;
    EXPECT_EQ(kErrInvalidParameters, Run(nullptr, length, accepted));
    EXPECT_EQ("Parametter can't be null.", ErrorText());
    EXPECT_EQ(kErrInvalidParameters, ciGetConnectionStringDlg(buffer, nullptr, &accepted, nullptr, nullptr));
    EXPECT_EQ(kErrInvalidParameters, ciGetConnectionStringDlg(buffer, &length, nullptr, nullptr, nullptr));
    EXPECT_EQ("", Shown());
}

TEST_F(ConnectionStringDialogTest, ADialogThatCannotBeShownCountsAsCancelled)
{
    char buffer[8] = "junk";
    int32_t length = sizeof buffer;
    CI_BOOL accepted = 5;
    EXPECT_EQ(0u, Run(buffer, length, accepted, "provider=COM"));
    EXPECT_EQ(CI_FALSE, accepted);
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(8, length);
}

TEST_F(ConnectionStringDialogTest, AnAcceptedTextIsCopiedWhenItFits)
{
    InstallConnectionStringDialog(&Accepting);
    Answer() = "port=9";
    char buffer[7];
    int32_t length = sizeof buffer;
    CI_BOOL accepted = 0;
    ASSERT_EQ(0u, ciGetConnectionStringDlg(buffer, &length, &accepted, "provider=COM", "Pick"));
    EXPECT_EQ("provider=COM|Pick", Shown());
    EXPECT_STREQ("port=9", buffer);
    EXPECT_EQ(6, length);
    EXPECT_EQ(CI_TRUE, accepted);

    length = 6;
    EXPECT_EQ(kErrBufferTooSmall, Run(buffer, length, accepted));
    EXPECT_EQ(7, length);
    EXPECT_EQ(CI_FALSE, accepted);
    EXPECT_STREQ("", buffer);
    EXPECT_EQ("|<none>", Shown());

    Answer() = "";
    length = sizeof buffer;
    EXPECT_EQ(0u, Run(buffer, length, accepted));
    EXPECT_EQ(0, length);
    EXPECT_EQ(CI_FALSE, accepted) << "an empty text is not an accepted one";
    Answer().reset();
}

class NotificationExportsTest : public LinkExportsTest {};

TEST_F(NotificationExportsTest, RegisteredRoadsDeliverAndUnregisteredOnesStop)
{
    TRecordingWindow window;
    ASSERT_EQ(0u, ciRegisterMsgNotifications(handle_, window.Handle(), kLinkMessage, 0));
    ASSERT_EQ(0u, ciRegisterCallBackNotifications(handle_, &RecordNotification, 77));
    link_->Deliver("x");
    window.Pump();
    ASSERT_EQ(1u, RecordedNotifications().size());
    EXPECT_EQ(uint32_t{CI_NOTIFY_DATA_RECEIVED}, RecordedNotifications()[0].kind);
    EXPECT_EQ(77u, RecordedNotifications()[0].userData);
    ASSERT_EQ(1u, window.Received().size()) << "posted with send flag 0";
    EXPECT_EQ(handle_, window.Received()[0].wParam);
    EXPECT_EQ(LPARAM{CI_NOTIFY_DATA_RECEIVED}, window.Received()[0].lParam);

    EXPECT_EQ(0u, ciUnregisterCallBackNotifications(handle_));
    link_->Deliver("y");
    window.Pump();
    EXPECT_EQ(1u, RecordedNotifications().size());
    EXPECT_EQ(2u, window.Received().size());

    EXPECT_EQ(0u, ciUnregisterMsgNotifications(handle_));
    link_->Deliver("z");
    window.Pump();
    EXPECT_EQ(2u, window.Received().size());
}

} // namespace
