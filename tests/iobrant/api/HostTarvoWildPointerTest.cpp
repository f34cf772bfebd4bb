// Iobrant's exports handed wild pointers by a careless host, on a Tarvo over UDP to the module
// simulator: every pointer argument of every export in turn (support/WildPointers.h).
#include "iobrant/api/HostTarvoSuite.h"
#include "support/WildPointers.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using wild_pointers::TArg;
using wild_pointers::TResult;
using wild_pointers::TShape;
using enum TArg;

constexpr uint32_t kAddress = 3;
// Thermostat settings: one 8-byte answer for each channel byte the request holds.
constexpr uint8_t kReadThermostats = 0x1B;
constexpr const char* kModuleOptions = "--address 3 --inputs 12 --outputs 10 --thermometers 2";

// qGetUserData before qSetUserData, which stores nothing of its zero bytes.
const std::vector<TShape> kShapes = {
    {"qGetInputPPS", TResult::Code, {Handle, Zero, Zero, OutValue}},
    {"qGetOutputPWM", TResult::Code, {Handle, Zero, OutValue}},
    {"qGetTemperature", TResult::Code, {Handle, Zero, OutValue}},
    {"qSndRcvVant97", TResult::Code, {Handle, Instruction, InBytes, Count, CheckedOut, OutBuffer, Capacity, Timeout}},
    {"qGetFactoryInfo", TResult::Code, {Handle, OutValue, OutValue, OutValue}},
    {"qGetUserData", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"qSetUserData", TResult::Code, {Handle, InBytes, Count}},
    {"qSetAddress", TResult::Code, {Handle, InNumber}},
    {"qGetAddress", TResult::Code, {Handle, OutValue}},
    {"qCreateTarvoEx", TResult::Handle, {LinkText, ParamsText, Zero}},
    {"qCreateTarvoCIEx", TResult::Handle, {HostLink, ParamsText, Zero}},
    {"qInfo", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"qGetCounterSetting", TResult::Code, {Handle, Zero, OutValue, OutValue}},
    {"qGetAutoNotify", TResult::Code, {Handle, OutValue}},
    {"qGetRecentCounterSettingByIndex", TResult::Code, {Handle, Zero, OutValue, OutValue}},
    {"qGetRecentInputCounterByIndex", TResult::Code, {Handle, Zero, OutValue}},
    {"qGetRecentOutputByIndex", TResult::Code, {Handle, Zero, OutValue}},
    {"qGetRecentInputByIndex", TResult::Code, {Handle, Zero, OutValue}},
    {"qGetRecentOutputsState", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"qGetRecentInputsState", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"qSetOutputs", TResult::Code, {Handle, InBytes, Count}},
    {"qGetOutputs", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"qGetInputs", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"qInputCounterValueByIndex", TResult::Code, {Handle, Zero, CheckedOut, One}},
    {"qOutputStateByIndex", TResult::Code, {Handle, Zero, OutValue}},
    {"qInputStateByIndex", TResult::Code, {Handle, Zero, OutValue}},
    {"qIsOpened", TResult::Code, {Handle, OutValue}},
    {"qCreateTarvo", TResult::Handle, {LinkText, ParamsText}},
    {"qCreateTarvoCI", TResult::Handle, {HostLink, ParamsText}},
    {"ciGetConnectionStringDlg", TResult::Code, {ClearedBuffer, Capacity, OutValue, AnyText, AnyText}},
    {"SetLastError", TResult::Code, {Zero, AnyText}},
    {"LastErrorText", TResult::Code, {OutBuffer, Capacity}},
    {"DllInfo", TResult::Code, {OutBuffer, Capacity}},
};

class HostTarvoWildPointers : public THostTarvoSuite<HostTarvoWildPointers> {
public:
    static std::unique_ptr<TModuleSimulator> StartSimulator()
    {
        return std::make_unique<TModuleSimulator>(TModuleSimulator::kSockets, kModuleOptions);
    }
};

TEST_F(HostTarvoWildPointers, EveryWildPointerFailsItsCallAndLeavesTheExportWorking)
{
    ASSERT_NO_FATAL_FAILURE(OpenTarvo(simulator->UdpConnectionString(), "fault none"));
    // Every recent state known and user data stored, so that each export has something to give.
    ASSERT_EQ(iobrant.qRefreshRecentStates(handle, 1, 1, 1, 1), 0u) << iobrant.ErrorText();
    const uint8_t userData[] = {'a', 'b', 'c'};
    ASSERT_EQ(iobrant.qSetUserData(handle, userData, sizeof userData), 0u) << iobrant.ErrorText();
    const CI_HANDLE hostLink = conduvex->ciCreate(simulator->UdpConnectionString().c_str());
    ASSERT_NE(hostLink, 0u) << conduvex->ErrorText();

    wild_pointers::TContext context;
    context.handle = handle;
    context.hostLink = hostLink;
    context.number = kAddress;
    context.instruction = kReadThermostats;
    context.linkText = simulator->UdpConnectionString();
    context.paramsText = "ADDR=3";
    context.release = [this](uint32_t created) { EXPECT_EQ(iobrant.qReleaseTarvo(created), 0u); };
    context.lastError = iobrant.LastError;
    context.lastErrorText = [this] { return iobrant.ErrorText(); };
    wild_pointers::TProber prober(iobrant.Module(), context);
    for (const wild_pointers::TProbe& probe : wild_pointers::ProbesOf(kShapes))
        EXPECT_EQ(prober.Run(probe), "") << wild_pointers::NameOf(probe);
    EXPECT_EQ(conduvex->ciRelease(hostLink), 0u);
}

} // namespace
