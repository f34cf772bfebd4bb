#include "capture/win/PackageExports.h"

#include <gtest/gtest.h>

#include "StandInModules.h"

namespace {

const char* NameOf(TRuntimeRoutine routine)
{
    for (const TRuntimeExportName& name : kRuntimeExportNames) {
        if (name.routine == routine)
            return name.name;
    }
    return "";
}

TEST(PackageExports, ANameIsFoundInTheModuleBeforeThenTheNamedPackageThenAnyPackage)
{
    const char* showException = NameOf(TRuntimeRoutine::UtilityShowException);
    const char* checkSynchronize = NameOf(TRuntimeRoutine::CheckSynchronize);
    const char* loadPackage = NameOf(TRuntimeRoutine::LoadPackage);
    EXPECT_EQ(FindPackageExport(nullptr, "rtl", 70, showException), nullptr);

    const TStandInModule other(L"other.bpl");
    const TStandInModule rtl(L"rtl70.bpl");
    ASSERT_TRUE(other.Get() && rtl.Get());
    EXPECT_EQ(FindPackageExport(nullptr, "rtl", 70, showException), rtl.Get());
    // Both export it: the named package wins, and the module found before wins over both.
    EXPECT_EQ(FindPackageExport(nullptr, "rtl", 70, loadPackage), rtl.Get());
    EXPECT_EQ(FindPackageExport(other.Get(), "rtl", 70, loadPackage), other.Get());
    // Only another package has it.
    EXPECT_EQ(FindPackageExport(rtl.Get(), "rtl", 70, checkSynchronize), other.Get());
    EXPECT_EQ(FindPackageExport(nullptr, "rtl", 71, showException), rtl.Get());
    EXPECT_EQ(FindPackageExport(nullptr, "rtl", 70, "@System@FreeMem$qpv"), nullptr);
    // A module that is no package is not searched.
    EXPECT_EQ(FindPackageExport(nullptr, "kernel", 32, "GetTickCount"), nullptr);
}

TEST(PackageExports, TheRuntimeRoutinesComeFromTheirPackages)
{
    const TStandInModule rtl(L"rtl70.bpl");
    const TStandInModule vcl(L"vcl70.bpl");
    const TStandInModule other(L"other.bpl");
    ASSERT_TRUE(rtl.Get() && vcl.Get() && other.Get());
    const TPackageRoutines routines = FindPackageRoutines();
    EXPECT_FALSE(routines.alreadyPatched);
    EXPECT_EQ(routines[TRuntimeRoutine::UtilityShowException], rtl.Export<const void*>(NameOf(TRuntimeRoutine::UtilityShowException)));
    EXPECT_EQ(routines[TRuntimeRoutine::LoadPackage], rtl.Export<const void*>(NameOf(TRuntimeRoutine::LoadPackage)));
    EXPECT_EQ(routines[TRuntimeRoutine::AppShowException], vcl.Export<const void*>(NameOf(TRuntimeRoutine::AppShowException)));
    EXPECT_EQ(routines[TRuntimeRoutine::AppHandleException],
              vcl.Export<const void*>(NameOf(TRuntimeRoutine::AppHandleException)));
    EXPECT_EQ(routines[TRuntimeRoutine::CheckSynchronize],
              other.Export<const void*>(NameOf(TRuntimeRoutine::CheckSynchronize)));
    EXPECT_EQ(routines[TRuntimeRoutine::FreeMem], nullptr);
    EXPECT_EQ(routines[TRuntimeRoutine::CrossAppShowException], nullptr);
}

TEST(PackageExports, AShowExceptionThatStartsWithAJumpDropsThePackageSearch)
{
    const TStandInModule rtl(L"rtl70.bpl");
    const TStandInModule patched(L"patched.bpl");
    ASSERT_TRUE(rtl.Get() && patched.Get());
    const TPackageRoutines routines = FindPackageRoutines();
    EXPECT_TRUE(routines.alreadyPatched);
    for (const void* address : routines.address)
        EXPECT_EQ(address, nullptr);
}

} // namespace
