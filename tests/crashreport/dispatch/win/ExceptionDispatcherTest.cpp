#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "capture/win/RaiseRecord.h"
#include "dispatch/win/EmergencyReserve.h"
#include "dispatch/win/ExceptionDispatcher.h"

// An abort of the host's runtime and one derived from it, named as a host names them.
class EAbort : public std::exception {};
class ESilentAbort : public EAbort {};

namespace {

constexpr DWORD kWaitMs = 5000;

struct TSeen {
    DWORD handlingThread = 0;
    THandlingRequest request{};
    AnsiString message;
    std::vector<UnicodeString> classChain;
    size_t innerCount = 0;
    bool hasContext = false;
};

class ExceptionDispatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        handler_ = [this](const THandlingRequest& request, TRequestCopies& copies) { Record(request, copies); };
        ASSERT_TRUE(thread_.Start([this](const THandlingRequest& request, TRequestCopies& copies) {
            handler_(request, copies);
        }));
        seams_.handleInline = [this](const THandlingRequest& request, TRequestCopies& copies) {
            handler_(request, copies);
        };
        seams_.closeHost = [this] { ++closes_; };
        seams_.loaderLocked = [this](int) { return loaderLocked_; };
        seams_.mainThreadId = [this] { return mainThread_; };
        seams_.mainThreadBusy = [] { return false; };
    }

    void Record(const THandlingRequest& request, TRequestCopies& copies)
    {
        const std::lock_guard guard(lock_);
        TSeen seen;
        seen.handlingThread = GetCurrentThreadId();
        seen.request = request;
        seen.message = copies.message;
        seen.classChain = copies.classChain;
        seen.innerCount = request.inner ? request.inner->size() : 0;
        seen.hasContext = copies.hasContext;
        seen_.push_back(seen);
    }

    std::vector<TSeen> Seen()
    {
        const std::lock_guard guard(lock_);
        return seen_;
    }

    void Dispatch(const TCaughtException& caught)
    {
        TExceptionDispatcher dispatcher(thread_, seams_);
        dispatcher.HandleException(caught);
    }

    THandlingThread thread_;
    TExceptionDispatcher::TSeams seams_;
    THandlingThread::THandler handler_;
    std::mutex lock_;
    std::vector<TSeen> seen_;
    std::atomic<int> closes_{0};
    bool loaderLocked_ = false;
    DWORD mainThread_ = 0;
};

TEST_F(ExceptionDispatcherTest, RequestCarriesCopiesOfWhatWasCaughtAndWaitsForItsHandling)
{
    CONTEXT context{};
    TCaughtException caught;
    caught.source = TCaptureSource::SystemException;
    caught.className = "EExternalException";
    caught.message = "Access violation";
    caught.address = reinterpret_cast<const void*>(0x401004);
    caught.continueAllowed = false;
#if defined(__x86_64__)
    context.Rip = 0x401000;
    context.Rsp = 0x12F000;
    context.Rbp = 0x12F100;
#else
    context.Eip = 0x401000;
    context.Esp = 0x12F000;
    context.Ebp = 0x12F100;
#endif
    caught.context = &context;
    caught.firstExtra = 77;
    caught.inner.resize(2);
    Dispatch(caught);

    const auto seen = Seen();
    ASSERT_EQ(seen.size(), 1u) << "HandleException returns once its request was handled";
    const THandlingRequest& request = seen[0].request;
    EXPECT_EQ(seen[0].handlingThread, thread_.ThreadId());
    EXPECT_EQ(request.threadId, GetCurrentThreadId());
    EXPECT_EQ(request.source, 14);
    EXPECT_EQ(request.address, 0x401004u);
    EXPECT_EQ(request.continueAllowed, 0);
    EXPECT_EQ(request.object, 0u) << "a plain pointer is no object of the runtime";
    EXPECT_EQ(request.firstExtra, 77u);
    EXPECT_EQ(request.stackPointer, 0x12F000u) << "the context lies 4 bytes below the address";
    EXPECT_EQ(request.framePointer, 0x12F100u);
    EXPECT_EQ(seen[0].message, "Access violation");
    EXPECT_EQ(request.messageLength, 16u);
    EXPECT_TRUE(seen[0].hasContext);
    EXPECT_EQ(seen[0].innerCount, 2u);
    ASSERT_EQ(seen[0].classChain.size(), 1u);
    EXPECT_EQ(seen[0].classChain[0], u"EExternalException");
}

TEST_F(ExceptionDispatcherTest, ContextFarFromTheAddressLeavesTheCallersRegisters)
{
    CONTEXT context{};
#if defined(__x86_64__)
    context.Rip = 0x401000;
    context.Rsp = 0x12F000;
#else
    context.Eip = 0x401000;
    context.Esp = 0x12F000;
#endif
    TCaughtException caught;
    caught.address = reinterpret_cast<const void*>(0x401005);
    caught.context = &context;
    Dispatch(caught);
    const auto seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].request.stackPointer, 0x12F000u);
    EXPECT_NE(seen[0].request.stackPointer, 0u);
}

TEST_F(ExceptionDispatcherTest, UnderTheLoaderLockTheRequestIsHandledOnTheRaisingThread)
{
    loaderLocked_ = true;
    Dispatch(TCaughtException{});
    const auto seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].handlingThread, GetCurrentThreadId());
    EXPECT_EQ(seen[0].request.event, nullptr) << "no event is made";
}

TEST_F(ExceptionDispatcherTest, NothingIsReportedFromTheHandlingThreadOrAReportThreadOrRecursively)
{
    // The handling thread raising while it handles.
    handler_ = [this](const THandlingRequest& request, TRequestCopies& copies) {
        Record(request, copies);
        Dispatch(TCaughtException{});
    };
    Dispatch(TCaughtException{});
    EXPECT_EQ(Seen().size(), 1u);

    // A thread that builds the report being handled.
    seams_.isReportThread = [](DWORD threadId) { return threadId == GetCurrentThreadId(); };
    Dispatch(TCaughtException{});
    EXPECT_EQ(Seen().size(), 1u);

    // The raising thread handling inline and faulting again in there.
    seams_.isReportThread = {};
    loaderLocked_ = true;
    Dispatch(TCaughtException{});
    EXPECT_EQ(Seen().size(), 2u) << "one report, not one of itself for ever";
}

TEST_F(ExceptionDispatcherTest, TheMainThreadIsNotReportedWhileItRunsHandlers)
{
    mainThread_ = GetCurrentThreadId();
    seams_.mainThreadBusy = [] { return true; };
    Dispatch(TCaughtException{});
    EXPECT_TRUE(Seen().empty());
}

TEST_F(ExceptionDispatcherTest, AnAbortIsNeverReportedAndClosesWhenItMayNotContinue)
{
    try {
        throw ESilentAbort();
    } catch (...) {
        Dispatch(DescribeCurrentException(TCaptureSource::ThreadHandler, true));
    }
    EXPECT_EQ(closes_, 0);
    EXPECT_EQ(ThisThreadRaiseRecord().object, nullptr) << "the recorded abort is forgotten";
    try {
        throw ESilentAbort();
    } catch (...) {
        Dispatch(DescribeCurrentException(TCaptureSource::RuntimeError, false));
    }
    EXPECT_TRUE(Seen().empty());
    EXPECT_EQ(closes_, 1);
}

TEST_F(ExceptionDispatcherTest, ThrownClassesArriveWithTheirAncestors)
{
    try {
        throw std::out_of_range("index 7");
    } catch (...) {
        Dispatch(DescribeCurrentException(TCaptureSource::ThreadHandler, true));
    }
    const auto seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    const std::vector<UnicodeString> expected{u"std::out_of_range", u"std::logic_error", u"std::exception"};
    EXPECT_EQ(seen[0].classChain, expected);
    EXPECT_EQ(seen[0].message, "index 7");
}

TEST_F(ExceptionDispatcherTest, TheMainThreadPumpsWhileItWaits)
{
    mainThread_ = GetCurrentThreadId();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DispatcherPumpTest";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(L"DispatcherPumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, nullptr);
    ASSERT_TRUE(window);
    std::atomic<bool> answered{false};
    // The handler needs the waiting thread's window: without pumping this would hang.
    handler_ = [&](const THandlingRequest&, TRequestCopies&) {
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, kWaitMs, &result) != 0;
    };
    Dispatch(TCaughtException{});
    EXPECT_TRUE(answered);
    DestroyWindow(window);
}

TEST_F(ExceptionDispatcherTest, QuitWhileWaitingIsPassedOnAndTheRequestGoesOnWithItsCopies)
{
    mainThread_ = GetCurrentThreadId();
    const TWinHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const TWinHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    AnsiString lateMessage;
    handler_ = [&](const THandlingRequest& request, TRequestCopies& copies) {
        PostThreadMessageW(request.threadId, WM_QUIT, 7, 0);
        // The waiter has left by now; its request is read afterwards.
        WaitForSingleObject(release.Get(), kWaitMs);
        lateMessage = AnsiString(request.messageText, request.messageLength);
        SetEvent(done.Get());
        (void)copies;
    };
    TCaughtException caught;
    caught.message = "kept after the waiter left";
    Dispatch(caught);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message is back";
    EXPECT_EQ(message.wParam, 7u);
    SetEvent(release.Get());
    ASSERT_EQ(WaitForSingleObject(done.Get(), kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(lateMessage, "kept after the waiter left");
}

TEST_F(ExceptionDispatcherTest, TheEmergencyReserveIsGivenBackDuringHandlingAndTakenAgainAfter)
{
    EmergencyReserve().Reserve();
    bool reservedWhileHandling = true;
    handler_ = [&](const THandlingRequest&, TRequestCopies&) { reservedWhileHandling = EmergencyReserve().Reserved(); };
    Dispatch(TCaughtException{});
    EXPECT_FALSE(reservedWhileHandling);
    EXPECT_TRUE(EmergencyReserve().Reserved());
    EmergencyReserve().Release();
}

} // namespace

namespace {

struct TSystemFaultCase {
    DWORD code;
    bool handedOver; // what the system's fault reporting answers
    bool reaches;    // whether it is asked
    bool mayContinue;
};

class SystemFaultReportingTest : public ExceptionDispatcherTest,
                                 public ::testing::WithParamInterface<TSystemFaultCase> {};

// Only an access violation goes to the system's fault reporting; once it took it over, the host
// may not go on, whatever the capture point allowed.
TEST_P(SystemFaultReportingTest, AnAccessViolationHandedOverMayNotContinue)
{
    const TSystemFaultCase& wanted = GetParam();
    int asked = 0;
    DWORD askedCode = 0;
    seams_.reportSystemFault = [&](const EXCEPTION_RECORD& record, const CONTEXT&) {
        ++asked;
        askedCode = record.ExceptionCode;
        return wanted.handedOver;
    };
    EXCEPTION_RECORD record{};
    record.ExceptionCode = wanted.code;
    CONTEXT context{};
    TCaughtException caught;
    caught.className = "EExternalException";
    caught.continueAllowed = true;
    caught.record = &record;
    caught.context = &context;
    Dispatch(caught);
    const auto seen = Seen();
    ASSERT_EQ(seen.size(), 1u) << "reported all the same";
    EXPECT_EQ(asked, wanted.reaches ? 1 : 0);
    if (wanted.reaches) {
        EXPECT_EQ(askedCode, wanted.code);
    }
    EXPECT_EQ(seen[0].request.continueAllowed, wanted.mayContinue ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SystemFaultReportingTest,
    ::testing::Values(TSystemFaultCase{EXCEPTION_ACCESS_VIOLATION, true, true, false},
                      TSystemFaultCase{EXCEPTION_ACCESS_VIOLATION, false, true, true},
                      TSystemFaultCase{EXCEPTION_INT_DIVIDE_BY_ZERO, true, false, true}));

TEST_F(ExceptionDispatcherTest, AHostsAccessViolationClassWithoutAFaultRecordIsNotHandedOver)
{
    int asked = 0;
    seams_.reportSystemFault = [&](const EXCEPTION_RECORD&, const CONTEXT&) { return ++asked > 0; };
    TCaughtException caught;
    caught.className = "EAccessViolation";
    caught.continueAllowed = true;
    Dispatch(caught);
    ASSERT_EQ(Seen().size(), 1u);
    EXPECT_EQ(asked, 0) << "the system needs the fault's record and registers";
    EXPECT_EQ(Seen()[0].request.continueAllowed, 1);
}

} // namespace

namespace {

// A capture point that wants the report as its answer gets it once the request was handled, and
// nothing from a request its waiter left (the handling thread may still be writing it then).
TEST_F(ExceptionDispatcherTest, TheResultTextReachesTheCaptureOnlyFromAFinishedHandling)
{
    bool targetPassed = false;
    handler_ = [&](const THandlingRequest& request, TRequestCopies& copies) {
        targetPassed = request.resultText == &copies.resultText && copies.wantsResultText;
        copies.resultText = u"the whole report";
    };
    UnicodeString answer;
    TCaughtException caught;
    caught.resultText = &answer;
    Dispatch(caught);
    EXPECT_TRUE(targetPassed);
    EXPECT_EQ(answer, u"the whole report");

    mainThread_ = GetCurrentThreadId();
    const TWinHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const TWinHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    handler_ = [&](const THandlingRequest& request, TRequestCopies& copies) {
        PostThreadMessageW(request.threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(release.Get(), kWaitMs);
        copies.resultText = u"written after the waiter left";
        SetEvent(done.Get());
    };
    UnicodeString abandoned = u"untouched";
    caught.resultText = &abandoned;
    Dispatch(caught);
    MSG message{};
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    SetEvent(release.Get());
    ASSERT_EQ(WaitForSingleObject(done.Get(), kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(abandoned, u"untouched");
}

} // namespace
