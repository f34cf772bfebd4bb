#include "mapi/win/MapiMail.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

constexpr wchar_t kStandIn[] = L"mapi_standin.dll";

class MapiMail : public testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        record_ = std::string(folder) + "mapi-standin-" + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(record_.c_str());
        SetEnvironmentVariableA("MAPI_STANDIN_RECORD", record_.c_str());
        SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "0");
    }

    void TearDown() override { DeleteFileA(record_.c_str()); }

    std::string Record() const
    {
        std::ifstream in(record_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static TMapiMail Mail()
    {
        return {u"Ann Smith <ann@x.org>, bob@y.org", u"Crash in Gr\u00FC\u00DFe", u"Line 1\r\nLine 2",
                {{u"C:\\temp\\report copy.txt", u"bugreport.txt"}, {u"C:\\temp\\shot.png", u"screen\u00FC.png"}}};
    }

    std::string record_;
};

TEST_F(MapiMail, InteractiveSendHandsOverRecipientsTextsAndFiles)
{
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, false, {}, kStandIn), TMapiResult::Sent);
    EXPECT_EQ(Record(), "session=0\nparent=none\nflags=9\nreserved=0\n"
                        "subject=Crash in Gr\xFC\xDF" "e\nbody=Line 1\r\nLine 2\n"
                        "to=1|Ann Smith|SMTP:ann@x.org\nto=1|bob@y.org|SMTP:bob@y.org\n"
                        "file=-1|C:\\temp\\report copy.txt|bugreport.txt\nfile=-1|C:\\temp\\shot.png|screen\xFC.png\n");
}

TEST_F(MapiMail, AutomaticSendShowsNoDialogUnlessThereIsNoRecipient)
{
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, true, {}, kStandIn), TMapiResult::Sent);
    EXPECT_NE(Record().find("flags=0\n"), std::string::npos);
    TMapiMail nobody = Mail();
    nobody.recipients = u" , ";
    EXPECT_EQ(SendViaMapi(nobody, nullptr, true, {}, kStandIn), TMapiResult::Sent);
    const std::string record = Record();
    EXPECT_NE(record.find("flags=9\n"), std::string::npos);
    EXPECT_EQ(record.find("to="), std::string::npos);
}

TEST_F(MapiMail, UserAbortIsCancelledAndOtherCodesAreNotSent)
{
    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "1");
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, false, {}, kStandIn), TMapiResult::Cancelled);
    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "2");
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, false, {}, kStandIn), TMapiResult::NotSent);
}

TEST_F(MapiMail, WatchdogPausesAroundTheCallAndTheLoaderLockStopsIt)
{
    std::vector<std::string> events;
    TMailClientHooks hooks;
    hooks.pauseWatchdog = [&](bool pause) {
        events.push_back(std::string(pause ? "pause" : "resume") + (Record().empty() ? " before" : " after"));
    };
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, false, hooks, kStandIn), TMapiResult::Sent);
    EXPECT_EQ(events, (std::vector<std::string>{"pause before", "resume after"}));

    DeleteFileA(record_.c_str());
    hooks.loaderLocked = [] { return true; };
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, false, hooks, kStandIn), TMapiResult::NotSent);
    EXPECT_EQ(Record(), "");
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(MapiMail, ProviderWithoutTheCallOrMissingIsNotSent)
{
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, false, {}, L"kernel32.dll"), TMapiResult::NotSent);
    EXPECT_EQ(SendViaMapi(Mail(), nullptr, false, {}, L"no_such_provider.dll"), TMapiResult::NotSent);
    EXPECT_EQ(Record(), "");
}

} // namespace
