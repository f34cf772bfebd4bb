// Iobrant's q exports as a host calls them, against the module simulator on a pty linked
// as a COM port: the frames each one sends, what it gives back, and its failure codes.
#include "iobrant/api/HostTarvoSuite.h"
#include "iobrant/api/IobrantHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// A COM number no other test program links.
constexpr int kComPort = 41;
constexpr uint8_t kAddress = 3;
constexpr const char* kModuleOptions = "--address 3 --inputs 12 --outputs 10 --thermometers 2";
constexpr const char* kIdentification = "TARVO 12/10 ETH ;F97;V0573.26.01;T2";

TEST(HostIobrantLibrary, EveryExportIsAtItsOrdinalUndecorated)
{
    const struct {
        const char* name;
        int ordinal;
    } exports[] = {
        {"qGetInputPPS", 1}, {"qSetOutputPWM", 2}, {"qGetOutputPWM", 3}, {"qGetTemperature", 4},
        {"qSndRcvVant97", 5}, {"qGetFactoryInfo", 6}, {"qSetUserData", 7}, {"qGetUserData", 8},
        {"qSetAddress", 9}, {"qGetAddress", 10}, {"qCreateTarvoEx", 11}, {"qCreateTarvoCIEx", 12},
        {"ciGetConnectionStringDlg", 13}, {"qReset", 14}, {"qInfo", 15},
        {"qUnregisterCallBackNotifications", 16}, {"qRegisterCallBackNotifications", 17},
        {"qUnregisterMsgNotifications", 18}, {"qRegisterMsgNotifications", 19}, {"qSetCounterSetting", 20},
        {"qGetCounterSetting", 21}, {"qSetAutoNotify", 22}, {"qGetAutoNotify", 23},
        {"qGetRecentCounterSettingByIndex", 24}, {"qRefreshRecentStates", 25},
        {"qGetRecentInputCounterByIndex", 26}, {"qGetRecentOutputByIndex", 27}, {"qGetRecentInputByIndex", 28},
        {"qGetRecentOutputsState", 29}, {"qGetRecentInputsState", 30}, {"qSetOutputs", 31},
        {"qSetOutputTimered", 32}, {"qSetOutput", 33}, {"qGetOutputs", 34}, {"qGetInputs", 35},
        {"qInputCounterValueByIndex", 36}, {"qOutputStateByIndex", 37}, {"qInputStateByIndex", 38},
        {"qInputCountersCount", 39}, {"qOutputsCount", 40}, {"qInputsCount", 41}, {"qReleaseTarvo", 42},
        {"qIsOpened", 43}, {"qClose", 44}, {"qOpen", 45}, {"qGetTarvoCIHandle", 46}, {"qCreateTarvo", 47},
        {"qCreateTarvoCI", 48}, {"qHandleByIndex", 49}, {"qHandlesCount", 50}, {"ciHandleByIndex", 51},
        {"ciHandlesCount", 52}, {"DllInfo", 53}, {"SetLastError", 54}, {"LastErrorText", 55}, {"LastError", 56},
    };
    TIobrantLibrary iobrant;
    ASSERT_TRUE(iobrant.Complete());
    for (const auto& entry : exports) {
        const FARPROC byName = GetProcAddress(iobrant.Module(), entry.name);
        EXPECT_NE(byName, nullptr) << entry.name;
        EXPECT_EQ(GetProcAddress(iobrant.Module(), MAKEINTRESOURCEA(entry.ordinal)), byName) << entry.name;
    }
    EXPECT_EQ(GetProcAddress(iobrant.Module(), MAKEINTRESOURCEA(57)), nullptr);
}

TEST(HostIobrantLibrary, DllInfoGivesNameAndVersionByTheTextConvention)
{
    TIobrantLibrary iobrant;
    ASSERT_TRUE(iobrant.Complete());
    int32_t length = 0;
    EXPECT_EQ(iobrant.DllInfo(nullptr, &length), 0u);
    EXPECT_EQ(length, 14);
    char text[32] = {};
    length = 13;
    EXPECT_EQ(iobrant.DllInfo(text, &length), Q_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 14);
    EXPECT_EQ(text[0], '\0');
    length = 14;
    EXPECT_EQ(iobrant.DllInfo(text, &length), 0u);
    EXPECT_STREQ(text, "Iobrant 1.0.0");
    EXPECT_EQ(length, 13);
    EXPECT_EQ(iobrant.DllInfo(text, nullptr), Q_ERR_INVALID_PARAMETERS);
}

class HostTarvoExports : public THostTarvoSuite<HostTarvoExports> {
public:
    static std::unique_ptr<TModuleSimulator> StartSimulator()
    {
        return std::make_unique<TModuleSimulator>(kComPort, kModuleOptions);
    }

protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenTarvo(simulator->ConnectionString(), "fault none"));
        ASSERT_EQ(simulator->Command("log clear"), "OK");
    }

    // The frames the module received since the last call.
    std::string Sent()
    {
        std::string log = simulator->Command("log");
        simulator->Command("log clear");
        return log;
    }

    void Identify()
    {
        ASSERT_EQ(iobrant.qInputsCount(handle), 12);
        Sent();
    }
};

TEST_F(HostTarvoExports, CountsIdentifyTheModuleOnce)
{
    EXPECT_EQ(iobrant.qInputsCount(handle), 12);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0xF3)}));
    EXPECT_EQ(iobrant.qOutputsCount(handle), 10);
    EXPECT_EQ(iobrant.qInputCountersCount(handle), 12);
    EXPECT_EQ(Sent(), "OK");
    EXPECT_EQ(iobrant.qHandlesCount(), 1);
    EXPECT_EQ(iobrant.qHandleByIndex(0), handle);
}

TEST_F(HostTarvoExports, ReadsOfTheIOFillTheCallersBuffers)
{
    ASSERT_EQ(simulator->Command("set-inputs 101000000001"), "OK");
    uint8_t buffer[16];
    std::memset(buffer, 0xEE, sizeof(buffer));
    int32_t count = sizeof(buffer);
    ASSERT_EQ(iobrant.qGetInputs(handle, buffer, &count), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0xF3), Frame(kAddress, 0x31)}));
    EXPECT_EQ(count, 12);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 13),
              std::string("\1\0\1\0\0\0\0\0\0\0\0\1\xEE", 13));

    Q_BOOL state = 7;
    ASSERT_EQ(iobrant.qInputStateByIndex(handle, 2, &state), 0u);
    EXPECT_EQ(state, Q_TRUE);
    ASSERT_EQ(iobrant.qInputStateByIndex(handle, 1, &state), 0u);
    EXPECT_EQ(state, Q_FALSE);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x31), Frame(kAddress, 0x31)}));

    // The recent states come from the cache.
    count = sizeof(buffer);
    ASSERT_EQ(iobrant.qGetRecentInputsState(handle, buffer, &count), 0u);
    EXPECT_EQ(count, 12);
    EXPECT_EQ(buffer[11], 1);
    ASSERT_EQ(iobrant.qGetRecentInputByIndex(handle, 11, &state), 0u);
    EXPECT_EQ(state, Q_TRUE);
    EXPECT_EQ(iobrant.qGetRecentOutputsState(handle, buffer, &count), Q_ERR_DATA_NOT_AVAILABLE);
    EXPECT_EQ(Sent(), "OK");

    count = 0;
    ASSERT_EQ(iobrant.qGetOutputs(handle, nullptr, &count), 0u);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x30)}));
    count = 9;
    EXPECT_EQ(iobrant.qGetOutputs(handle, buffer, &count), Q_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 9);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(iobrant.ErrorText(), "Need more buffer size.");
    ASSERT_EQ(iobrant.qOutputStateByIndex(handle, 9, &state), 0u);
    EXPECT_EQ(state, Q_FALSE);
}

TEST_F(HostTarvoExports, WritesSendOutputCommands)
{
    ASSERT_EQ(iobrant.qSetOutput(handle, 0, 1), 0u);
    // An unidentified module is not asked first; the index is within what a command holds.
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x20, {0x81})}));
    EXPECT_EQ(simulator->Command("get-outputs"), "OK 1000000000");

    ASSERT_EQ(iobrant.qSetOutputTimered(handle, 1, 1, 5), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x23, {0x05, 0x82})}));

    uint8_t states[10] = {0, 5, 1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(iobrant.qSetOutputs(handle, states, 10), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0xF3),
                              Frame(kAddress, 0x20, {0x01, 0x82, 0x83, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A})}));
    EXPECT_EQ(states[1], 1);
    EXPECT_EQ(simulator->Command("get-outputs"), "OK 0110000000");
    int32_t count = 10;
    ASSERT_EQ(iobrant.qGetRecentOutputsState(handle, states, &count), 0u);
    EXPECT_EQ(states[2], 1);

    // Within the known outputs the module's states are read back.
    ASSERT_EQ(iobrant.qSetOutput(handle, 3, 1), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x20, {0x84}), Frame(kAddress, 0x30)}));
    EXPECT_EQ(iobrant.qSetOutputs(handle, states, 9), Q_ERR_BUFFER_TOO_SMALL);
}

TEST_F(HostTarvoExports, CountersAndTheirSettings)
{
    Identify();
    ASSERT_EQ(simulator->Command("set-counter 1 7"), "OK");
    uint32_t value = 0;
    ASSERT_EQ(iobrant.qInputCounterValueByIndex(handle, 0, &value, 1), 0u);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x60, {0x81})}));
    ASSERT_EQ(iobrant.qGetRecentInputCounterByIndex(handle, 0, &value), 0u);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(iobrant.qGetRecentInputCounterByIndex(handle, 1, &value), Q_ERR_DATA_NOT_AVAILABLE);

    ASSERT_EQ(iobrant.qSetCounterSetting(handle, 1, 1, 0), 0u);
    Q_BOOL a = 0;
    Q_BOOL b = 0;
    ASSERT_EQ(iobrant.qGetCounterSetting(handle, 1, &a, &b), 0u);
    EXPECT_EQ(a, Q_TRUE);
    EXPECT_EQ(b, Q_FALSE);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x6A, {0x82}), Frame(kAddress, 0x6B, {0x02})}));
    ASSERT_EQ(iobrant.qGetRecentCounterSettingByIndex(handle, 1, &a, &b), 0u);
    EXPECT_EQ(a, Q_TRUE);

    ASSERT_EQ(iobrant.qRefreshRecentStates(handle, 1, 1, 1, 1), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x30), Frame(kAddress, 0x31), Frame(kAddress, 0x60, {0x00}),
                              Frame(kAddress, 0x6B)}));
    ASSERT_EQ(iobrant.qGetRecentInputCounterByIndex(handle, 11, &value), 0u);
}

TEST_F(HostTarvoExports, TemperaturePwmPulsesAndAutomaticMessages)
{
    ASSERT_EQ(simulator->Command("set-temperature -4.5 1"), "OK");
    int32_t tenths = 0;
    ASSERT_EQ(iobrant.qGetTemperature(handle, 1, &tenths), 0u);
    EXPECT_EQ(tenths, -45);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x51, {0x01})}));

    ASSERT_EQ(iobrant.qSetOutputPWM(handle, 2, 50), 0u);
    uint32_t value = 0;
    ASSERT_EQ(iobrant.qGetOutputPWM(handle, 2, &value), 0u);
    EXPECT_EQ(value, 50u);
    ASSERT_EQ(simulator->Command("set-pps 3 1234"), "OK");
    ASSERT_EQ(iobrant.qGetInputPPS(handle, 3, 9, &value), 0u);
    EXPECT_EQ(value, 1234u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x70, {0x02, 0x32}), Frame(kAddress, 0x71, {0x02}),
                              Frame(kAddress, 0x62, {0x03, 0x09})}));

    Q_BOOL on = 0;
    ASSERT_EQ(iobrant.qSetAutoNotify(handle, 5), 0u);
    ASSERT_EQ(iobrant.qGetAutoNotify(handle, &on), 0u);
    EXPECT_EQ(on, Q_TRUE);
    ASSERT_EQ(iobrant.qSetAutoNotify(handle, 0), 0u);
    ASSERT_EQ(iobrant.qGetAutoNotify(handle, &on), 0u);
    EXPECT_EQ(on, Q_FALSE);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x10, {0x01}), Frame(kAddress, 0x11), Frame(kAddress, 0x10, {0x00}),
                              Frame(kAddress, 0x11)}));
}

TEST_F(HostTarvoExports, TheModulesOwnData)
{
    int32_t length = 0;
    ASSERT_EQ(iobrant.qInfo(handle, nullptr, &length), 0u);
    const auto needed = static_cast<int32_t>(std::strlen(kIdentification) + 1);
    EXPECT_EQ(length, needed);
    char text[64] = {};
    length = needed - 1;
    EXPECT_EQ(iobrant.qInfo(handle, text, &length), Q_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, needed - 1);
    length = needed;
    ASSERT_EQ(iobrant.qInfo(handle, text, &length), 0u);
    EXPECT_STREQ(text, kIdentification);
    EXPECT_EQ(length, needed - 1);
    Sent();

    ASSERT_EQ(iobrant.qSetUserData(handle, reinterpret_cast<const uint8_t*>("hello"), 5), 0u);
    EXPECT_EQ(iobrant.qSetUserData(handle, nullptr, 5), 0u);
    EXPECT_EQ(iobrant.qSetUserData(handle, reinterpret_cast<const uint8_t*>("x"), 0), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0xE2, {0, 'h', 'e', 'l', 'l', 'o', 0})}));
    uint8_t data[8] = {};
    length = 3;
    EXPECT_EQ(iobrant.qGetUserData(handle, data, &length), Q_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 5);
    ASSERT_EQ(iobrant.qGetUserData(handle, data, &length), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 6), std::string("hello\0", 6));

    uint32_t word1 = 0;
    uint32_t word2 = 0;
    uint32_t value3 = 0;
    ASSERT_EQ(iobrant.qGetFactoryInfo(handle, &word1, &word2, &value3), 0u);
    EXPECT_EQ(word1, 573u);
    EXPECT_EQ(word2, 26u);
    EXPECT_EQ(value3, 100003u);
    ASSERT_EQ(iobrant.qReset(handle), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0xF2), Frame(kAddress, 0xF2), Frame(kAddress, 0xFA),
                              Frame(kAddress, 0xE3)}));

    uint8_t acknowledge = 0xAA;
    length = sizeof(data);
    ASSERT_EQ(iobrant.qSndRcvVant97(handle, 0xF0, nullptr, 0, &acknowledge, data, &length, 500), 0u);
    EXPECT_EQ(acknowledge, 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(data[0], kAddress);
    const uint8_t request[] = {1, 2};
    ASSERT_EQ(iobrant.qSndRcvVant97(handle, 0x99, request, 2, &acknowledge, data, &length, -1), 0u);
    EXPECT_EQ(acknowledge, 1);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0xF0), Frame(kAddress, 0x99, {1, 2})}));
}

TEST_F(HostTarvoExports, AnAddressChangeMovesModuleAndObjectTogether)
{
    uint32_t address = 5;
    ASSERT_EQ(iobrant.qSetAddress(handle, &address), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0xF0), Frame(kAddress, 0xE4), Frame(kAddress, 0xE0, {5, 6})}));
    address = 0;
    ASSERT_EQ(iobrant.qGetAddress(handle, &address), 0u);
    EXPECT_EQ(address, 5u);
    address = 0x103;
    ASSERT_EQ(iobrant.qSetAddress(handle, &address), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(5, 0xF0), Frame(5, 0xF0), Frame(5, 0xE4), Frame(5, 0xE0, {3, 6})}));
}

TEST_F(HostTarvoExports, BadArgumentsFailBeforeAnythingIsSent)
{
    uint8_t buffer[16] = {};
    int32_t count = 16;
    uint32_t value = 0;
    Q_BOOL state = 0;
    const auto expectCode = [&](uint32_t result, uint32_t code, const char* text) {
        EXPECT_EQ(result, code) << text;
        EXPECT_EQ(iobrant.LastError(), code) << text;
    };
    expectCode(iobrant.qGetInputs(handle, buffer, nullptr), Q_ERR_INVALID_PARAMETERS, "count");
    expectCode(iobrant.qInputStateByIndex(handle, 0, nullptr), Q_ERR_INVALID_PARAMETERS, "state");
    expectCode(iobrant.qGetTemperature(handle, 0, nullptr), Q_ERR_INVALID_PARAMETERS, "temperature");
    expectCode(iobrant.qGetFactoryInfo(handle, &value, nullptr, &value), Q_ERR_INVALID_PARAMETERS, "factory");
    expectCode(iobrant.qSetAddress(handle, nullptr), Q_ERR_INVALID_PARAMETERS, "address");
    expectCode(iobrant.qSetOutputs(handle, nullptr, 10), Q_ERR_INVALID_PARAMETERS, "outputs");
    expectCode(iobrant.qIsOpened(handle, nullptr), Q_ERR_INVALID_PARAMETERS, "opened");
    expectCode(iobrant.qSndRcvVant97(handle, 0xF0, nullptr, 3, buffer, buffer, &count, 100), Q_ERR_INVALID_PARAMETERS,
               "raw data");
    expectCode(iobrant.qSndRcvVant97(handle, 0x100, nullptr, 0, buffer, buffer, &count, 100),
               Q_ERR_INVALID_PARAMETERS, "raw instruction");
    expectCode(iobrant.qSetOutputTimered(handle, 0, 1, 256), Q_ERR_INVALID_PARAMETERS, "time");
    EXPECT_EQ(iobrant.ErrorText(), "Invalid parameters.");
    expectCode(iobrant.qSetOutputPWM(handle, 256, 1), Q_ERR_INVALID_PARAMETERS, "pwm");
    // Before identification: any output a command holds, any counter of the 60.
    expectCode(iobrant.qSetOutput(handle, 127, 1), Q_ERR_INDEX_OUT_OF_BAND, "output 128");
    expectCode(iobrant.qSetOutput(handle, -1, 1), Q_ERR_INDEX_OUT_OF_BAND, "output 0");
    EXPECT_EQ(iobrant.ErrorText(), "Index out of band.");
    expectCode(iobrant.qInputCounterValueByIndex(handle, 60, &value, 0), Q_ERR_INDEX_OUT_OF_BAND, "counter 61");
    expectCode(iobrant.qGetRecentInputsState(handle, buffer, &count), Q_ERR_DATA_NOT_AVAILABLE, "recent");
    EXPECT_EQ(Sent(), "OK");

    Identify();
    expectCode(iobrant.qSetOutput(handle, 10, 1), Q_ERR_INDEX_OUT_OF_BAND, "output 11");
    expectCode(iobrant.qSetOutputTimered(handle, 10, 1, 3), Q_ERR_INDEX_OUT_OF_BAND, "timed output 11");
    expectCode(iobrant.qInputStateByIndex(handle, 12, &state), Q_ERR_INDEX_OUT_OF_BAND, "input 13");
    expectCode(iobrant.qOutputStateByIndex(handle, -1, &state), Q_ERR_INDEX_OUT_OF_BAND, "output -1");
    expectCode(iobrant.qGetRecentInputByIndex(handle, 12, &state), Q_ERR_INDEX_OUT_OF_BAND, "recent input 13");
    expectCode(iobrant.qSetCounterSetting(handle, 12, 1, 1), Q_ERR_INDEX_OUT_OF_BAND, "counter 13");
    expectCode(iobrant.qGetTemperature(handle, 2, reinterpret_cast<int32_t*>(&value)), Q_ERR_INDEX_OUT_OF_BAND,
               "thermometer 2");
    EXPECT_EQ(iobrant.qHandleByIndex(-1), 0u);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_INDEX_OUT_OF_BAND);
    EXPECT_EQ(iobrant.qHandleByIndex(1), 0u);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_INDEX_OUT_OF_BAND);
    EXPECT_EQ(Sent(), "OK");
}

TEST_F(HostTarvoExports, AnUnknownHandleIsInvalidForEveryExport)
{
    const Q_HANDLE unknown = handle + 4;
    uint8_t buffer[16] = {};
    int32_t count = 16;
    uint32_t value = 0;
    Q_BOOL state = 0;
    const uint32_t codes[] = {
        iobrant.qGetInputs(unknown, buffer, &count),
        iobrant.qGetOutputs(unknown, buffer, &count),
        iobrant.qSetOutput(unknown, 0, 1),
        iobrant.qSetOutputs(unknown, buffer, 16),
        iobrant.qSetOutputTimered(unknown, 0, 1, 1),
        iobrant.qInputStateByIndex(unknown, 0, &state),
        iobrant.qOutputStateByIndex(unknown, 0, &state),
        iobrant.qGetRecentInputsState(unknown, buffer, &count),
        iobrant.qGetRecentOutputsState(unknown, buffer, &count),
        iobrant.qGetRecentInputByIndex(unknown, 0, &state),
        iobrant.qGetRecentOutputByIndex(unknown, 0, &state),
        iobrant.qGetRecentInputCounterByIndex(unknown, 0, &value),
        iobrant.qGetRecentCounterSettingByIndex(unknown, 0, &state, &state),
        iobrant.qRefreshRecentStates(unknown, 1, 1, 1, 1),
        iobrant.qInputCounterValueByIndex(unknown, 0, &value, 0),
        iobrant.qSetCounterSetting(unknown, 0, 1, 1),
        iobrant.qGetCounterSetting(unknown, 0, &state, &state),
        iobrant.qGetTemperature(unknown, 0, reinterpret_cast<int32_t*>(&value)),
        iobrant.qSetOutputPWM(unknown, 0, 0),
        iobrant.qGetOutputPWM(unknown, 0, &value),
        iobrant.qGetInputPPS(unknown, 0, 0, &value),
        iobrant.qSetAutoNotify(unknown, 1),
        iobrant.qGetAutoNotify(unknown, &state),
        iobrant.qInfo(unknown, nullptr, &count),
        iobrant.qReset(unknown),
        iobrant.qGetAddress(unknown, &value),
        iobrant.qSetAddress(unknown, &value),
        iobrant.qSetUserData(unknown, buffer, 1),
        iobrant.qGetUserData(unknown, buffer, &count),
        iobrant.qGetFactoryInfo(unknown, &value, &value, &value),
        iobrant.qSndRcvVant97(unknown, 0xF0, nullptr, 0, buffer, buffer, &count, 100),
        iobrant.qRegisterMsgNotifications(unknown, nullptr, 0, 0),
        iobrant.qUnregisterMsgNotifications(unknown),
        iobrant.qRegisterCallBackNotifications(unknown, nullptr, 0),
        iobrant.qUnregisterCallBackNotifications(unknown),
        iobrant.qOpen(unknown),
        iobrant.qClose(unknown),
        iobrant.qIsOpened(unknown, &state),
        iobrant.qReleaseTarvo(unknown),
    };
    for (size_t i = 0; i < std::size(codes); ++i)
        EXPECT_EQ(codes[i], Q_ERR_INVALID_HANDLE) << "call " << i;
    EXPECT_EQ(iobrant.ErrorText(), "Invalid handle.");
    EXPECT_EQ(iobrant.qInputsCount(unknown), -1);
    EXPECT_EQ(iobrant.qOutputsCount(unknown), -1);
    EXPECT_EQ(iobrant.qInputCountersCount(unknown), -1);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_INVALID_HANDLE);
    EXPECT_EQ(iobrant.qGetTarvoCIHandle(unknown), 0u);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_INVALID_HANDLE);
    EXPECT_EQ(Sent(), "OK");
}

TEST_F(HostTarvoExports, ASilentModuleGivesNoResponseAfterTheTimeOut)
{
    Identify();
    ASSERT_EQ(simulator->Command("fault silence"), "OK");
    const DWORD start = GetTickCount();
    EXPECT_EQ(iobrant.qReset(handle), Q_ERR_NO_RESPONSE);
    EXPECT_GE(GetTickCount() - start, 1000u);
    EXPECT_EQ(iobrant.ErrorText(), "No response from device.");
    // One last error for both libraries.
    EXPECT_EQ(conduvex->LastError(), Q_ERR_NO_RESPONSE);
    EXPECT_EQ(conduvex->ErrorText(), "No response from device.");
    uint8_t buffer[16];
    int32_t count = 16;
    EXPECT_EQ(iobrant.qGetInputs(handle, buffer, &count), Q_ERR_NO_RESPONSE);
    EXPECT_EQ(iobrant.qSetOutput(handle, 0, 1), Q_ERR_ACTION_FAILED);
    EXPECT_EQ(iobrant.ErrorText(), "Action not successfull.");
}

TEST_F(HostTarvoExports, TheLinkOpensAndClosesThroughTheHandle)
{
    Q_BOOL active = 0;
    ASSERT_EQ(iobrant.qIsOpened(handle, &active), 0u);
    EXPECT_EQ(active, Q_TRUE);
    ASSERT_EQ(iobrant.qClose(handle), 0u);
    ASSERT_EQ(iobrant.qIsOpened(handle, &active), 0u);
    EXPECT_EQ(active, Q_FALSE);
    EXPECT_EQ(iobrant.qReset(handle), Q_ERR_NO_RESPONSE);
    ASSERT_EQ(iobrant.qOpen(handle), 0u);
    EXPECT_EQ(iobrant.qReset(handle), 0u);
}

TEST_F(HostTarvoExports, OnTheHostsLinkIobrantAddressesTheModuleAndLeavesTheLink)
{
    ASSERT_EQ(iobrant.qReleaseTarvo(handle), 0u);
    handle = 0;
    const CI_HANDLE link = conduvex->ciCreate(simulator->ConnectionString().c_str());
    ASSERT_NE(link, 0u);
    ASSERT_EQ(conduvex->ciOpen(link), 0u);

    const Q_HANDLE onLink = iobrant.qCreateTarvoCI(link, "ADDR=3;AUTO_NOTIFY=1");
    ASSERT_NE(onLink, 0u);
    EXPECT_EQ(iobrant.LastError(), 0u);
    EXPECT_EQ(Sent(), Logged({Frame(kAddress, 0x10, {0x01})}));
    EXPECT_EQ(iobrant.qGetTarvoCIHandle(onLink), link);
    ASSERT_EQ(iobrant.qReleaseTarvo(onLink), 0u);
    CI_BOOL active = 0;
    EXPECT_EQ(conduvex->ciIsActive(link, &active), 0u);
    EXPECT_EQ(active, CI_TRUE);

    EXPECT_EQ(iobrant.qCreateTarvoCI(link + 4, nullptr), 0u);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_INVALID_HANDLE);
    EXPECT_EQ(iobrant.qCreateTarvoCIEx(0, nullptr, Q_KIND_CALLBACK), 0u);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_INVALID_HANDLE);
    EXPECT_EQ(iobrant.qHandlesCount(), 0);
    EXPECT_EQ(conduvex->ciRelease(link), 0u);
}

TEST_F(HostTarvoExports, ANewLinkGoesWithItsTarvoObject)
{
    const int32_t links = conduvex->ciHandlesCount();
    EXPECT_EQ(iobrant.ciHandlesCount(), links);
    const CI_HANDLE own = iobrant.qGetTarvoCIHandle(handle);
    EXPECT_NE(own, 0u);
    EXPECT_EQ(iobrant.ciHandleByIndex(links - 1), own);

    // The new link is not open yet, so automatic messages cannot be switched on.
    const Q_HANDLE closed = iobrant.qCreateTarvoEx(simulator->ConnectionString().c_str(), "AUTO_NOTIFY=1", 1);
    ASSERT_NE(closed, 0u);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_ACTION_FAILED);
    EXPECT_EQ(conduvex->ciHandlesCount(), links + 1);
    ASSERT_EQ(iobrant.qReleaseTarvo(closed), 0u);
    EXPECT_EQ(conduvex->ciHandlesCount(), links);

    EXPECT_EQ(iobrant.qCreateTarvo("provider=NOPE", nullptr), 0u);
    EXPECT_EQ(iobrant.LastError(), 0x20000006u);
    EXPECT_EQ(iobrant.ErrorText(), "Inknown provider NOPE.");
    EXPECT_EQ(iobrant.qCreateTarvo(simulator->ConnectionString().c_str(), "ADDR=300"), 0u);
    EXPECT_EQ(iobrant.LastError(), Q_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(conduvex->ciHandlesCount(), links);
    EXPECT_EQ(iobrant.qHandlesCount(), 1);
}

} // namespace

namespace {

TEST(HostTarvoWithoutOutputs, SetOutputsIdentifiesTheModuleAndSendsNothing)
{
    TModuleSimulator simulator(43, "--address 7 --inputs 8 --outputs 0");
    ASSERT_EQ(simulator.Failure(), "");
    TIobrantLibrary iobrant;
    ASSERT_TRUE(iobrant.Complete());
    const Q_HANDLE handle = iobrant.qCreateTarvo(simulator.ConnectionString().c_str(), "ADDR=7");
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(iobrant.qOpen(handle), 0u);
    uint8_t states[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(iobrant.qSetOutputs(handle, states, 8), Q_ERR_DATA_NOT_AVAILABLE);
    EXPECT_EQ(simulator.Command("log"), Logged({Frame(7, 0xF3)}));
    EXPECT_EQ(iobrant.qOutputsCount(handle), 0);
    EXPECT_EQ(iobrant.qSetOutput(handle, 0, 1), Q_ERR_INDEX_OUT_OF_BAND);
    EXPECT_EQ(iobrant.qReleaseTarvo(handle), 0u);
}

} // namespace
