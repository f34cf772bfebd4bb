#include "capture/win/PackageReportHooks.h"

#include <gtest/gtest.h>

#include "RecordingSink.h"
#include "StandInModules.h"

namespace {

using TRuntimeRoutineCall = void(ZEL_RUNTIME_CALL*)(void*, void*);

TRuntimeRoutineCall Routine(const TPackageRoutines& routines, TRuntimeRoutine routine)
{
    return reinterpret_cast<TRuntimeRoutineCall>(const_cast<void*>(routines[routine]));
}

TEST(PackageReportHooks, ThePackagesExceptionRoutinesReportThroughTheStubsUntilRestored)
{
    const TStandInModule rtl(L"rtl70.bpl");
    const TStandInModule vcl(L"vcl70.bpl");
    ASSERT_TRUE(rtl.Get() && vcl.Get());
    auto* const calls = vcl.Export<volatile int*>("standInCalls");
    const TPackageRoutines routines = FindPackageRoutines();
    TCodePatchTable patches;
    EXPECT_EQ(InstallPackageReportHooks(routines, patches), 3u);
    EXPECT_EQ(patches.Count(), 3u);

    TRecordingSink sink;
    int application = 0;
    int sender = 0;
    int object = 0;
    Routine(routines, TRuntimeRoutine::AppHandleException)(&application, &sender);
    Routine(routines, TRuntimeRoutine::AppShowException)(&application, &object);
    Routine(routines, TRuntimeRoutine::UtilityShowException)(&object, reinterpret_cast<void*>(0x1234));
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 3u);
    EXPECT_EQ(recorded[0].caught.source, TCaptureSource::WindowProcedure);
    EXPECT_EQ(recorded[0].caught.firstExtra, reinterpret_cast<uintptr_t>(&sender));
    EXPECT_EQ(recorded[0].caught.object, nullptr);
    EXPECT_EQ(recorded[1].caught.source, TCaptureSource::AppShowException);
    EXPECT_EQ(recorded[1].caught.object, &object);
    EXPECT_EQ(recorded[1].caught.className, "Unknown"); // no object of the runtime
    EXPECT_EQ(recorded[2].caught.source, TCaptureSource::UtilityShowException);
    EXPECT_EQ(recorded[2].caught.object, &object);
    EXPECT_EQ(recorded[2].caught.address, reinterpret_cast<const void*>(0x1234));
    for (const TRecordedException& report : recorded)
        EXPECT_TRUE(report.caught.continueAllowed);
    ASSERT_NE(calls, nullptr);
    EXPECT_EQ(*calls, 0); // the routines themselves did not run

    patches.ClearPatches();
    Routine(routines, TRuntimeRoutine::AppHandleException)(&application, &sender);
    EXPECT_NE(*calls, 0);
    EXPECT_EQ(sink.Recorded().size(), 3u);
}

TEST(PackageReportHooks, NothingIsPatchedWhenNoRoutineWasFound)
{
    TCodePatchTable patches;
    EXPECT_EQ(InstallPackageReportHooks(TPackageRoutines{}, patches), 0u);
    EXPECT_EQ(patches.Count(), 0u);
}

} // namespace
