#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <stdexcept>

#include "FaultingCode.h"
#include "RecordingSink.h"
#include "capture/win/CurrentExceptionReport.h"
#include "capture/win/FreezeReport.h"
#include "capture/win/LibraryThread.h"
#include "capture/win/RaiseRecord.h"
#include "capture/win/SystemExceptions.h"
#include "capture/win/TerminateReport.h"
#include "capture/win/WindowProcReport.h"
#include "handlers/win/MainThreadHandlers.h"
#include "win32/CurrentExceptionReport.h"

namespace {

DWORD Finish(HANDLE thread)
{
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 0xDEAD;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

DWORD ReturnsSeven(void*)
{
    return 7;
}

DWORD Throws(void* parameter)
{
    throw std::runtime_error(static_cast<const char*>(parameter));
}

DWORD Faults(void*)
{
    return static_cast<DWORD>(ReadThrough(nullptr));
}

TEST(LibraryThread, WhatEscapesALibraryThreadIsReportedAndTheThreadEndsWithZero)
{
    TRecordingSink sink;
    DWORD id = 0;
    EXPECT_EQ(Finish(StartLibraryThread(ReturnsSeven, nullptr, 0, &id)), 7u);
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(sink.Recorded().empty());

    char text[] = "worker failed";
    EXPECT_EQ(Finish(StartLibraryThread(Throws, text, 0, &id)), 0u);
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    const TCaughtException& caught = recorded[0].caught;
    EXPECT_EQ(recorded[0].thread, id);
    EXPECT_EQ(caught.kind, TRequestKind::Exception);
    EXPECT_EQ(caught.source, TCaptureSource::ThreadHandler);
    EXPECT_TRUE(caught.continueAllowed);
    EXPECT_EQ(caught.className, "std::runtime_error");
    EXPECT_EQ(caught.message, "worker failed");
    EXPECT_NE(caught.object, nullptr);
    EXPECT_NE(caught.address, nullptr);
}

TEST(LibraryThread, AFaultInALibraryThreadIsReportedAsAnOperatingSystemException)
{
    TRecordingSink sink;
    InstallSystemExceptionCapture();
    EXPECT_EQ(Finish(StartLibraryThread(Faults, nullptr, 0, nullptr)), 0u);
    RemoveSystemExceptionCapture();
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    const TCaughtException& caught = recorded[0].caught;
    EXPECT_EQ(caught.source, TCaptureSource::SystemException);
    EXPECT_EQ(caught.className, "EExternalException");
    EXPECT_EQ(caught.message.rfind("Access violation at address ", 0), 0u) << caught.message;
    EXPECT_TRUE(recorded[0].hadContext);
}

TEST(LibraryThread, WhatEscapesOnTheMainThreadIsReportedWithoutContinuing)
{
    TRecordingSink sink;
    MainThreadHandlers().Start(); // this thread is the main thread, with or without its window
    try {
        throw std::runtime_error("on the main thread");
    } catch (...) {
        ReportEscapedException();
    }
    MainThreadHandlers().Stop();
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caught.source, TCaptureSource::ThreadHandler);
    EXPECT_FALSE(recorded[0].caught.continueAllowed);
    EXPECT_EQ(recorded[0].caught.message, "on the main thread");
}

LRESULT CALLBACK ReportingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    constexpr UINT kWork = WM_APP + 1;
    if (message != kWork)
        return DefWindowProcW(window, message, wParam, lParam);
    return GuardWindowProc(
        window,
        [wParam]() -> LRESULT {
            if (wParam)
                throw std::invalid_argument("bad message");
            return 42;
        },
        -1);
}

TEST(WindowProcReport, AnExceptionInAWindowProcedureIsReportedWithTheWindowAsSender)
{
    TRecordingSink sink;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ReportingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CaptureTestReportingWindow";
    ASSERT_TRUE(RegisterClassW(&windowClass));
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageW(window, WM_APP + 1, 0, 0), 42);
    EXPECT_TRUE(sink.Recorded().empty());
    EXPECT_EQ(SendMessageW(window, WM_APP + 1, 1, 0), -1);
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caught.source, TCaptureSource::WindowProcedure);
    EXPECT_EQ(recorded[0].caught.firstExtra, reinterpret_cast<uintptr_t>(window));
    EXPECT_EQ(recorded[0].caught.message, "bad message");
    EXPECT_TRUE(recorded[0].caught.continueAllowed);
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

// Stands for the handler before ours: ends the thread instead of the process.
[[noreturn]] void EndThreadInstead()
{
    ExitThread(99);
}

DWORD WINAPI TerminateWhileCatching(void*)
{
    try {
        throw std::length_error("nothing left");
    } catch (...) {
        std::get_terminate()();
    }
    return 0;
}

DWORD WINAPI TerminateWithoutException(void*)
{
    std::get_terminate()();
    return 0;
}

TEST(TerminateReport, AnEndThroughTerminateIsReportedAsARuntimeErrorWithoutContinuing)
{
    TRecordingSink sink;
    const std::terminate_handler before = std::set_terminate(EndThreadInstead);
    InstallTerminateReport();
    for (const LPTHREAD_START_ROUTINE routine : {&TerminateWhileCatching, &TerminateWithoutException}) {
        const HANDLE thread = CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        EXPECT_EQ(Finish(thread), 99u); // the earlier handler still ends it
    }
    RemoveTerminateReport();
    EXPECT_EQ(std::get_terminate(), &EndThreadInstead);
    std::set_terminate(before);

    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 2u);
    for (const TRecordedException& report : recorded) {
        EXPECT_EQ(report.caught.source, TCaptureSource::RuntimeError);
        EXPECT_FALSE(report.caught.continueAllowed);
    }
    EXPECT_EQ(recorded[0].caught.className, "std::length_error");
    EXPECT_EQ(recorded[0].caught.message, "nothing left");
    EXPECT_EQ(recorded[1].caught.className, "ZelException");
    EXPECT_EQ(recorded[1].caught.message, "Runtime error");
}

// The entry the toolkit is given: what its window procedures catch, as reported by the toolkit.
TEST(CurrentExceptionReport, WhatTheToolkitCatchesReachesTheSinkAsItsReport)
{
    TRecordingSink sink;
    SetCurrentExceptionReport(&ReportCurrentToSink);
    try {
        throw std::invalid_argument("caught by the toolkit");
    } catch (...) {
        ReportCurrentException();
    }
    SetCurrentExceptionReport(nullptr);
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caught.source, TCaptureSource::ReportCurrent);
    EXPECT_EQ(recorded[0].caught.message, "caught by the toolkit");
    EXPECT_TRUE(recorded[0].caught.continueAllowed);
}

TEST(FreezeReport, AFrozenMainThreadReachesTheSinkAsAFreezeThatMayContinue)
{
    ReportFreeze(nullptr); // no sink: nothing happens
    TRecordingSink sink;
    ReportFreeze(nullptr);
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caught.kind, TRequestKind::Freeze);
    EXPECT_EQ(recorded[0].caught.source, TCaptureSource::Freeze);
    EXPECT_TRUE(recorded[0].caught.continueAllowed);
    EXPECT_EQ(recorded[0].caught.object, nullptr);
}

} // namespace
