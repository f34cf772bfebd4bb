// A web server's requests served through the wrapper: a stand-in server records what reaches
// it through its callbacks, stand-in host entries play the extension.
#include "dialog/box/win/ExtensionOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/win/SharedSettings.h"

namespace {

// What the stand-in server was asked, in order: "header <text>", "support <request>" and
// "write <bytes>".
std::vector<std::string>& ServerLog()
{
    static std::vector<std::string> log;
    return log;
}

BOOL WINAPI ServerWrite(TConnectionId, void* buffer, DWORD* bytes, DWORD)
{
    ServerLog().push_back("write " + std::string(static_cast<const char*>(buffer), *bytes));
    return TRUE;
}

BOOL WINAPI ServerSupport(TConnectionId, DWORD request, void*, DWORD*, DWORD* dataType)
{
    if (request == kSendResponseHeader)
        ServerLog().push_back("header " + std::string(dataType ? reinterpret_cast<const char*>(dataType) : ""));
    else
        ServerLog().push_back("support " + std::to_string(request));
    return TRUE;
}

__attribute__((noinline)) void FailingSite()
{
    asm volatile("");
}

// What the exception handling leaves when a request's code fails.
void FailHere()
{
    PendingExtensionReport() = {u"exception message : </textarea><b>bad</b> \u00E9\r\n",
                                reinterpret_cast<uintptr_t>(&FailingSite)};
}

char kPlainHeader[] = "Content-Type: text/plain\r\n\r\n";

// The hosts: each what an extension does with its request.
DWORD WINAPI FailsSilently(TExtensionControlBlock* block)
{
    block->httpStatus = 500;
    FailHere();
    return kExtensionError;
}

DWORD WINAPI AnswersThenFails(TExtensionControlBlock* block)
{
    block->serverSupport(block->connection, kSendResponseHeader, nullptr, nullptr,
                         reinterpret_cast<DWORD*>(kPlainHeader));
    FailHere();
    return kExtensionError;
}

DWORD WINAPI Succeeds(TExtensionControlBlock* block)
{
    block->httpStatus = 404;
    return kExtensionSuccess;
}

TExtensionControlBlock* gPendingBlock = nullptr;

DWORD WINAPI GoesOnLater(TExtensionControlBlock* block)
{
    gPendingBlock = block;
    return kExtensionPending;
}

TExtensionControlBlock ServerBlock(uintptr_t connection)
{
    TExtensionControlBlock block{};
    block.size = sizeof block;
    block.connection = reinterpret_cast<TConnectionId>(connection);
    block.httpStatus = 200;
    block.writeClient = &ServerWrite;
    block.serverSupport = &ServerSupport;
    return block;
}

size_t CountStarting(const std::vector<std::string>& log, const std::string& start)
{
    size_t count = 0;
    for (const std::string& entry : log)
        count += entry.rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

class ExtensionOutputTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(OpenSettingsBuffer()); }
    static void TearDownTestSuite() { CloseSettingsBuffer(); }
    void SetUp() override
    {
        ServerLog().clear();
        PendingExtensionReport() = {};
    }
    void TearDown() override { SetHostExtensionEntry(nullptr); }
};

TEST_F(ExtensionOutputTest, AFailedRequestAnswersWithTheEscapedReportPageOnce)
{
    SetHostExtensionEntry(&FailsSilently);
    TExtensionControlBlock block = ServerBlock(11);
    EXPECT_EQ(kExtensionError, ExtensionProcWrapper(&block));
    const std::vector<std::string> log = ServerLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("header Content-Type: text/html\r\n\r\n", log[0]);
    ASSERT_EQ(0u, log[1].rfind("write <html>", 0)) << log[1];
    EXPECT_NE(std::string::npos, log[1].find("&lt;/textarea&gt;&lt;b&gt;bad&lt;/b&gt; &#233;")) << log[1];
    EXPECT_EQ(std::string::npos, log[1].find("<b>bad"));
    // The host's changes reach the server's block; its own callback stays in it.
    EXPECT_EQ(500u, block.httpStatus);
    EXPECT_EQ(&ServerSupport, block.serverSupport);
    EXPECT_EQ(0u, OpenExtensionConnections());
    EXPECT_TRUE(PendingExtensionReport().text.empty());
}

TEST_F(ExtensionOutputTest, AHeaderTheHostSentIsNotSentAgain)
{
    SetHostExtensionEntry(&AnswersThenFails);
    TExtensionControlBlock block = ServerBlock(12);
    EXPECT_EQ(kExtensionError, ExtensionProcWrapper(&block));
    const std::vector<std::string> log = ServerLog();
    EXPECT_EQ(1u, CountStarting(log, "header "));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("header Content-Type: text/plain\r\n\r\n", log[0]);
    EXPECT_EQ(1u, CountStarting(log, "write <html>"));
}

TEST_F(ExtensionOutputTest, ARequestThatSucceedsIsLeftAlone)
{
    SetHostExtensionEntry(&Succeeds);
    TExtensionControlBlock block = ServerBlock(13);
    EXPECT_EQ(kExtensionSuccess, ExtensionProcWrapper(&block));
    EXPECT_TRUE(ServerLog().empty());
    EXPECT_EQ(404u, block.httpStatus);
    EXPECT_EQ(&ServerSupport, block.serverSupport);
    EXPECT_EQ(0u, OpenExtensionConnections());
    // Without a host entry nothing is served.
    SetHostExtensionEntry(nullptr);
    EXPECT_EQ(kExtensionError, ExtensionProcWrapper(&block));
    EXPECT_EQ(kExtensionError, ExtensionProcWrapper(nullptr));
}

TEST_F(ExtensionOutputTest, PendingSessionsStayUntilDoneAndAReportGoesOutBeforeTheNextRequest)
{
    SetHostExtensionEntry(&GoesOnLater);
    TExtensionControlBlock first = ServerBlock(21), second = ServerBlock(22), third = ServerBlock(23);
    EXPECT_EQ(kExtensionPending, ExtensionProcWrapper(&first));
    TExtensionControlBlock* firstCopy = gPendingBlock;
    EXPECT_EQ(kExtensionPending, ExtensionProcWrapper(&second));
    TExtensionControlBlock* secondCopy = gPendingBlock;
    EXPECT_EQ(kExtensionPending, ExtensionProcWrapper(&third));
    TExtensionControlBlock* thirdCopy = gPendingBlock;
    EXPECT_EQ(3u, OpenExtensionConnections());
    ASSERT_NE(firstCopy, &first);
    EXPECT_EQ(&SupportFunctionHook, firstCopy->serverSupport);
    EXPECT_EQ(&ServerSupport, first.serverSupport) << "the server's block is untouched while pending";

    // The first session ends; the last entry moves into its place and still answers.
    EXPECT_TRUE(firstCopy->serverSupport(firstCopy->connection, kDoneWithSession, nullptr, nullptr, nullptr));
    EXPECT_EQ(2u, OpenExtensionConnections());
    FailHere();
    EXPECT_TRUE(thirdCopy->serverSupport(thirdCopy->connection, 1, nullptr, nullptr, nullptr));
    std::vector<std::string> log = ServerLog();
    ASSERT_EQ(4u, log.size());
    EXPECT_EQ("support 4", log[0]);
    EXPECT_EQ("header Content-Type: text/html\r\n\r\n", log[1]);
    EXPECT_EQ(0u, log[2].rfind("write <html>", 0));
    EXPECT_EQ("support 1", log[3]) << "the host's own request goes on after the page";
    EXPECT_TRUE(PendingExtensionReport().text.empty());

    // An unknown connection is refused; the others end one by one.
    EXPECT_FALSE(SupportFunctionHook(reinterpret_cast<TConnectionId>(99), 1, nullptr, nullptr, nullptr));
    EXPECT_TRUE(thirdCopy->serverSupport(thirdCopy->connection, kDoneWithSession, nullptr, nullptr, nullptr));
    EXPECT_TRUE(secondCopy->serverSupport(secondCopy->connection, kDoneWithSession, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, OpenExtensionConnections());
}

} // namespace
