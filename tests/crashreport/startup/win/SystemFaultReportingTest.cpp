#include <gtest/gtest.h>

#include <windows.h>

#include "settings/win/ZeSettings.h"
#include "startup/win/SystemFaultReporting.h"

namespace {

using TCount = LONG(WINAPI*)();
using TCode = DWORD(WINAPI*)();

template <class Routine>
Routine StandInRoutine(const char* name)
{
    return reinterpret_cast<Routine>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"crashreport_faultrep_standin.dll"), name)));
}

class SystemFaultReporting : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings_ = GetModuleSettings(GetModuleHandleW(nullptr));
        ASSERT_TRUE(settings_);
        // The settings a fault's address leads to.
        SetMainSettings(settings_);
        ASSERT_TRUE(LoadSystemFaultReporting(L"crashreport_faultrep_standin.dll"));
        faults_ = StandInRoutine<TCount>("StandInFaults");
        lastCode_ = StandInRoutine<TCode>("StandInLastCode");
        ASSERT_TRUE(faults_ && lastCode_);
        // A fault inside this program: its settings decide.
        record_.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        record_.ExceptionAddress = reinterpret_cast<void*>(&StandInRoutine<TCount>);
    }

    void TearDown() override
    {
        settings_->SetSettingBool("WindowsLogo", false);
        SetMainSettings(nullptr);
        LoadSystemFaultReporting(L"no-such-fault-reporting.dll");
    }

    TSettingsRef settings_;
    TCount faults_ = nullptr;
    TCode lastCode_ = nullptr;
    EXCEPTION_RECORD record_{};
    CONTEXT context_{};
};

TEST_F(SystemFaultReporting, TheFaultIsHandedOverOnlyWhenTheFaultingModuleWantsIt)
{
    settings_->SetSettingBool("WindowsLogo", false);
    EXPECT_FALSE(ReportToSystem(record_, context_));
    EXPECT_EQ(faults_(), 0);

    settings_->SetSettingBool("WindowsLogo", true);
    EXPECT_TRUE(ReportToSystem(record_, context_));
    EXPECT_EQ(faults_(), 1);
    EXPECT_EQ(lastCode_(), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

// Without the module or its entry the feature is skipped, whatever the settings say.
TEST_F(SystemFaultReporting, AMissingModuleOrEntrySkipsIt)
{
    settings_->SetSettingBool("WindowsLogo", true);
    const LONG before = faults_();
    EXPECT_FALSE(LoadSystemFaultReporting(L"no-such-fault-reporting.dll"));
    EXPECT_FALSE(ReportToSystem(record_, context_));
    EXPECT_FALSE(LoadSystemFaultReporting(L"kernel32.dll")) << "no ReportFault there";
    EXPECT_FALSE(ReportToSystem(record_, context_));
    EXPECT_EQ(faults_(), before);
}

} // namespace
