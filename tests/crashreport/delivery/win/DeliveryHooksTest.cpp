#include "delivery/win/DeliveryHooks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "delivery/win/SendBugReportEx.h"
#include "engine/win/LibraryFolders.h"
#include "model/win/ZelException.h"

namespace {

const UnicodeString kReport = u"date/time         : 2026-12-09\r\nexception class   : EAccessViolation\r\n";

class TFixedReportBuilder : public IZEReportBuilder {
public:
    void FillHeader(TIZEException&, TZelReportFields& header) override { header.Add(u"date/time", u"2026-12-09"); }
    void StartSections(TIZEException&, TZelReportFields&) override {}
    void WaitForReport(TIZEException& exception) override { exception.MarkComplete(); }
    UnicodeString AssembleText(const TReportFieldList&, const TReportFieldList&) override { return kReport; }
};

std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The exception object's send with the built-in settings: in the background, over MAPI (here
// the stand-in provider), the sender's thread left with the object, the object marked sent.
class DeliveryHooks : public testing::Test {
protected:
    void SetUp() override
    {
        ExceptionHooks() = TExceptionHooks{};
        ExceptionHooks().builder = &builder_;
        InstallDelivery();
        DeliveryEnvironment().showFailure = [this](HWND, const UnicodeString&) { ++failures_; };
        DeliveryEnvironment().mapiLibrary = Wide(WindowsPath(MAPI_STANDIN_PATH));
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        record_ = std::string(temp) + "hooks-mapi-" + std::to_string(GetCurrentProcessId()) + ".txt";
        SetEnvironmentVariableA("MAPI_STANDIN_RECORD", record_.c_str());
        exception_ = NewZelException(nullptr, {});
        exception_->SetCreateBugReport(true);
    }

    void TearDown() override
    {
        ExceptionHooks() = TExceptionHooks{};
        DeleteFileA(record_.c_str());
        EmptyLibraryTempFolder();
    }

    static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    TFixedReportBuilder builder_;
    TIntfPtr<TIZEException> exception_;
    std::string record_;
    int failures_ = 0;
};

TEST_F(DeliveryHooks, SendOfTheExceptionRunsInTheBackgroundAndMarksItSent)
{
    ASSERT_TRUE(exception_->Settings().SendInBackgr()) << "the built-in setting";
    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "0");
    exception_->SendBugReport(nullptr);
    const HANDLE thread = *exception_->OwnedHandleRef();
    ASSERT_NE(thread, nullptr) << "the background sender stays with the exception";
    EXPECT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
    const std::string handed = Read(record_);
    EXPECT_NE(handed.find("flags=9"), std::string::npos) << "a user's send shows the mail program\n" << handed;
    EXPECT_NE(handed.find("|bugreport.zbr\n"), std::string::npos) << handed;
    EXPECT_TRUE(exception_->GetSent());
    EXPECT_EQ(failures_, 0);
}

TEST_F(DeliveryHooks, SendThatNoRouteTookIsNotMarked)
{
    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "1"); // the user cancelled: no mailto, no message
    exception_->SendBugReport(nullptr);
    const HANDLE thread = *exception_->OwnedHandleRef();
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
    EXPECT_NE(Read(record_), "");
    EXPECT_FALSE(exception_->GetSent());
    EXPECT_EQ(failures_, 0);
}

} // namespace
