#pragma once
// A Tarvo I/O module on a Vantel stack: its instruction set, the last known states of its
// inputs, outputs and counters, and the change eventers through which hosts hear of them.
#include "Eventer.h"
#include "vantel/IVantelStack.h"
#include "tarvo/TarvoInfo.h"
#include "tarvo/TarvoRecords.h"

#include <cstdint>
#include <string>
#include <vector>

struct ITarvo;

// One changed I/O: its position (0 = I/O 1) and its states before and after.
struct TIOChange {
    uint16_t position = 0;
    bool oldState = false;
    bool newState = false;

    friend bool operator==(const TIOChange&, const TIOChange&) = default;
};
using TIOsChngRec = std::vector<TIOChange>;

// Every change of one read or message at once.
class TeventerTarvoNotifyChangeIOs : public TEventer<ITarvo*, const TIOsChngRec&> {
public:
    void Fire(ITarvo* sender, const TIOsChngRec& changes) { FireAll(sender, sender, changes); }
};

// One changed I/O: (sender, position, new state, old state).
class TeventerTarvoNotifyChangeIO : public TEventer<ITarvo*, uint16_t, bool, bool> {
public:
    void Fire(ITarvo* sender, uint16_t position, bool newState, bool oldState)
    {
        FireAll(sender, sender, position, newState, oldState);
    }
};

// {9E22D83F-21CC-4DEB-944C-F4B43B2290FC}
inline constexpr GUID IID_ITarvo = {
    0x9E22D83F, 0x21CC, 0x4DEB, {0x94, 0x4C, 0xF4, 0xB4, 0x3B, 0x22, 0x90, 0xFC}};

// I/O and counter numbers count from 1. Every operation that talks to the module returns
// false when the exchange fails (GetStatus and GetLastAck tell why) or when the answer
// does not have the expected shape; a failure leaves the caches as they were.
struct ITarvo : public virtual IVantelStackDevice {
    // 0x31 / 0x30. Synchronously the states are decoded (as many as the module has, once
    // identified) and the change processing runs; otherwise the request is only sent and
    // the reply runs the change processing when it arrives.
    virtual bool GetInputs(TTarvoIOArray& states, bool synchronous) = 0;
    virtual bool GetOutputs(TTarvoIOArray& states, bool synchronous) = 0;
    // One state, read with the others; false for a number outside the answer.
    virtual bool GetInput(int number, bool& state) = 0;
    virtual bool GetOutput(int number, bool& state) = 0;
    // 0x70 with (a, b); 0x71 with a, the value is the answer's second byte.
    virtual bool SetOutputPWM(uint8_t a, uint8_t b) = 0;
    virtual bool GetOutputPWM(uint8_t a, uint8_t& value) = 0;
    // 0x62 with (a, b); a 16-bit answer, 0 on failure.
    virtual bool GetInputPPS(uint8_t a, uint8_t b, uint16_t& value) = 0;
    // time 0: 0x20 with one output command (the output cache follows); otherwise 0x23 with
    // the time byte (time mod 256, in the module's unit) and the command.
    virtual bool SetOutput(int number, bool state, bool synchronous, uint32_t time) = 0;
    // 0x20 with one command per element (output number = index + 1).
    virtual bool SetOutputs(const TTarvoIOArray& states, bool synchronous) = 0;
    // 0x60: counter `number`, cleared by the module with the read when asked.
    virtual bool GetCounter(int number, uint32_t& value, bool clear) = 0;
    // 0x10 / 0x11: automatic messages on every change of the inputs.
    virtual bool SetAutoNotify(uint8_t value) = 0;
    virtual bool GetAutoNotify(bool& on) = 0;
    // 0x6B / 0x6A; numbers above 60 are refused without sending.
    virtual bool GetCounterSetting(int number, bool& optionA, bool& optionB) = 0;
    virtual bool SetCounterSetting(int number, bool optionA, bool optionB) = 0;

    virtual TeventerTarvoNotifyChangeIOs* InputsChangedEventer() = 0;
    virtual TeventerTarvoNotifyChangeIOs* OutputsChangedEventer() = 0;
    virtual TeventerTarvoNotifyChangeIO* InputChangedEventer() = 0;
    virtual TeventerTarvoNotifyChangeIO* OutputChangedEventer() = 0;

    // Identifies the module when it is not yet identified; false while it is not.
    virtual bool GetInfo(TTarvoInfo& info) = 0;
    virtual bool IsTarvoIdentified() = 0;
    // The last automatic-notification value written or read; read when unknown; 0 when
    // it cannot be read.
    virtual uint8_t GetAutoNotifyCached() = 0;
    virtual bool SetAutoNotifyCached(uint8_t value) = 0;
    // Reads the parts asked for (identifying first); false when any part with a count
    // above 0 failed. The Ex form gives each part's success back in its flag.
    virtual bool RefreshStates(bool outputs, bool inputs, bool counters, bool counterSettings) = 0;
    virtual bool RefreshStatesEx(bool& outputs, bool& inputs, bool& counterSettings, bool& counters) = 0;

    // From the caches, with no traffic. The arrays: their count, or 0 when any is unknown.
    virtual int GetRecentInputs(TTarvoIOArray& states) = 0;
    virtual int GetRecentOutputs(TTarvoIOArray& states) = 0;
    virtual bool GetRecentInput(int number, bool& state) = 0;
    virtual bool GetRecentOutput(int number, bool& state) = 0;
    virtual bool GetRecentCounter(int number, uint32_t& value) = 0;
    virtual bool GetRecentCounterSetting(int number, bool& optionA, bool& optionB) = 0;

    // The counts identify the module when needed and are 0 while it is not identified.
    // Counters: 0 for a module without any, else the inputs, at most 60.
    virtual int CounterCount() = 0;
    virtual int InputCount() = 0;
    virtual int OutputCount() = 0;
    virtual int ThermometerCount() = 0;

    // 0x51; thermometers count from 0.
    virtual bool GetTemperature(uint8_t number, double& degrees) = 0;
    // Names (0x3B/0x2B and 0x3A/0x2A): a one-digit number and up to 20 characters.
    virtual bool ReadText3B(uint8_t selector, std::string& text, int& number) = 0;
    virtual bool WriteText2B(uint8_t selector, const std::string& text, int number) = 0;
    virtual bool ReadText3A(uint8_t selector, std::string& text, int& number) = 0;
    virtual bool WriteText2A(uint8_t selector, const std::string& text, int number) = 0;
    // 0x38: one channel's mode, or every mode byte.
    virtual bool ReadMode38(uint8_t selector, TTarvoMode& mode) = 0;
    virtual bool ReadModes38(AByte& modes) = 0;
    // 0x36 / 0x26: values in half steps.
    virtual bool ReadValue36(uint8_t selector, uint8_t& first, float& value) = 0;
    virtual bool WriteValue26(uint8_t a, uint8_t b, float value) = 0;
    virtual bool ReadValues36(ASingle& values) = 0;
    // 0x25 with one byte.
    virtual bool Write25(uint8_t value) = 0;
    // 0x1B / 0x1A: thermostat settings by channel (0 = first output).
    virtual bool GetThermostatSetting(uint8_t channel, TTarvoThermostatSetting& setting) = 0;
    virtual bool GetThermostatSettings(AInteger& channels, ATarvoThermostatSettings& settings) = 0;
    virtual bool SetThermostatSetting(uint8_t channel, const TTarvoThermostatSetting& setting) = 0;
};
