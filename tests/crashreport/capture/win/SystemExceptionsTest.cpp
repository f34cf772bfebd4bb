#include "capture/win/SystemExceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "FaultingCode.h"
#include "RecordingSink.h"
#include "capture/win/ExportFaultReport.h"
#include "capture/win/RaiseRecord.h"
#include "text/ZelException.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

constexpr DWORD kForeignCode = 0xC0001234;
constexpr DWORD kThreadNameException = 0x406D1388;

// Stands for a caller that handles what it raises itself: continues after the two codes the
// tests raise, behind the capture's handler.
LONG CALLBACK ContinueAfterRaisedCodes(EXCEPTION_POINTERS* pointers)
{
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    return code == kForeignCode || code == kThreadNameException ? EXCEPTION_CONTINUE_EXECUTION
                                                                : EXCEPTION_CONTINUE_SEARCH;
}

AnsiString Hex(const void* address)
{
    char text[32];
    snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    return text;
}

AnsiString ProgramName()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path);
    return full.substr(full.find_last_of("\\/") + 1);
}

bool Near(const void* address, const void* routine)
{
    const auto distance = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(routine);
    return distance < 64;
}

class SystemExceptionsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed);
        InstallSystemExceptionCapture();
        catcher = AddVectoredExceptionHandler(0, ContinueAfterRaisedCodes);
    }
    static void TearDownTestSuite()
    {
        RemoveVectoredExceptionHandler(catcher);
        RemoveSystemExceptionCapture();
        ThreadNameBuffer().Close();
    }
    void TearDown() override { ClearRaiseRecord(); }

    static void* catcher;
};

void* SystemExceptionsTest::catcher = nullptr;

TEST_F(SystemExceptionsTest, AReadOfAddressZeroBecomesAnAccessViolationObject)
{
    try {
        ReadThrough(nullptr);
        FAIL() << "the read did not fault";
    } catch (const EExternalException& error) {
        const TRaiseRecord& record = ThisThreadRaiseRecord();
        EXPECT_EQ(record.object, &error);
        EXPECT_TRUE(record.external);
        EXPECT_TRUE(Near(record.address, reinterpret_cast<const void*>(&ReadThrough)));
        ASSERT_NE(record.context, nullptr);
        EXPECT_EQ(error.what(), "Access violation at address " + Hex(record.address) + " in module '" + ProgramName() +
                                    "'. Read of address " + Hex(nullptr));
    }
}

TEST_F(SystemExceptionsTest, WritesAndDivisionsByZeroCarryTheirTexts)
{
    try {
        WriteThrough(reinterpret_cast<volatile int*>(0x10), 1);
        FAIL() << "the write did not fault";
    } catch (const EExternal& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("'. Write of address " + Hex(reinterpret_cast<const void*>(0x10))), std::string::npos)
            << text;
    }
    try {
        Divide(1, 0);
        FAIL() << "the division did not fault";
    } catch (const ZelException& error) {
        EXPECT_STREQ(error.what(), "Division by zero");
        EXPECT_TRUE(Near(ThisThreadRaiseRecord().address, reinterpret_cast<const void*>(&Divide)));
    }
    // The thread goes on normally afterwards.
    int value = 5;
    EXPECT_EQ(ReadThrough(&value), 5);
}

TEST_F(SystemExceptionsTest, AFaultUnwindsThroughItsFunctionsFrameRunningItsCleanups)
{
    int cleanups = 0;
    for (int round = 0; round < 3; ++round) {
        try {
            ReadInFrame(nullptr, cleanups);
            FAIL() << "the read did not fault";
        } catch (const EExternalException& error) {
            EXPECT_EQ(std::string(error.what()).rfind("Access violation at address ", 0), 0u);
        }
    }
    EXPECT_EQ(cleanups, 3);
}

TEST_F(SystemExceptionsTest, ExceptionsOutsideTheLibrarysImageAreLeftAlone)
{
    bool thrown = false;
    try {
        RaiseException(kForeignCode, 0, 0, nullptr); // raised inside a system module
    } catch (...) {
        thrown = true;
    }
    EXPECT_FALSE(thrown);
}

EXCEPTION_RECORD NamingRecord(ULONG_PTR type, const char* name, DWORD thread, ULONG_PTR flags)
{
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kThreadNameException;
    record.NumberParameters = 4;
    record.ExceptionInformation[0] = type;
    record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(name);
    record.ExceptionInformation[2] = thread;
    record.ExceptionInformation[3] = flags;
    return record;
}

TEST_F(SystemExceptionsTest, TheThreadNamingConventionNamesTheGivenOrTheRaisingThread)
{
    const DWORD self = GetCurrentThreadId();
    EXPECT_TRUE(NameThreadFromRecord(NamingRecord(0x1000, "named by the host", static_cast<DWORD>(-1), 0)));
    ASSERT_TRUE(GetThreadEntry(self));
    EXPECT_EQ(GetThreadEntry(self)->name, u"named by the host");
    const DWORD other = self + 4;
    EXPECT_TRUE(NameThreadFromRecord(NamingRecord(0x1000, "for another", other, 0)));
    ASSERT_TRUE(GetThreadEntry(other));
    EXPECT_EQ(GetThreadEntry(other)->name, u"for another");
    // Another type or nonzero flags are no naming.
    EXPECT_FALSE(NameThreadFromRecord(NamingRecord(0x1001, "other type", static_cast<DWORD>(-1), 0)));
    EXPECT_FALSE(NameThreadFromRecord(NamingRecord(0x1000, "flagged", static_cast<DWORD>(-1), 1)));
    EXPECT_EQ(GetThreadEntry(self)->name, u"named by the host");
    SetThreadEntry(self, nullptr, {}, 0, nullptr, {});
    SetThreadEntry(other, nullptr, {}, 0, nullptr, {});
}

TEST_F(SystemExceptionsTest, ARaisedThreadNamingExceptionIsNeitherReportedNorThrown)
{
    TRecordingSink sink;
    const char name[] = "raised name";
    const ULONG_PTR arguments[] = {0x1000, reinterpret_cast<ULONG_PTR>(name), static_cast<ULONG_PTR>(-1), 0};
    bool thrown = false;
    try {
        RaiseException(kThreadNameException, 0, 4, arguments);
    } catch (...) {
        thrown = true;
    }
    EXPECT_FALSE(thrown);
    EXPECT_TRUE(sink.Recorded().empty());
    EXPECT_EQ(ThisThreadRaiseRecord().object, nullptr);
    SetThreadEntry(GetCurrentThreadId(), nullptr, {}, 0, nullptr, {});
}

} // namespace

namespace {

// An export's frame catches everything: only a converted fault is reported from there, with its
// record and registers, and the frame goes on with its own handling.
TEST_F(SystemExceptionsTest, ABoundaryReportsTheFaultsItCatchesButNotOtherExceptions)
{
    TRecordingSink sink;
    try {
        throw std::runtime_error("the library's own error");
    } catch (...) {
        ReportCaughtSystemException();
    }
    EXPECT_TRUE(sink.Recorded().empty()) << "an error of the library is no crash";

    try {
        WriteThrough(reinterpret_cast<volatile int*>(0x10), 1);
    } catch (...) {
        ReportCaughtSystemException();
    }
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    const TCaughtException& caught = recorded[0].caught;
    EXPECT_EQ(caught.source, TCaptureSource::SystemException);
    EXPECT_TRUE(caught.continueAllowed);
    EXPECT_EQ(caught.className, "EExternalException");
    EXPECT_NE(caught.message.find("Write of address"), std::string::npos) << caught.message;
    EXPECT_TRUE(recorded[0].hadContext);
    EXPECT_EQ(recorded[0].faultCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

} // namespace
