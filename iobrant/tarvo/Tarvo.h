#pragma once
// One Tarvo I/O module on a Vantel stack: the Tarvo instruction set on top of the common
// Vantel device, the caches of the last known input, output and counter states, the
// module's automatic messages (code 13 carries the inputs) and the change eventers.
// Change events fire after the cache lock is released, single-I/O events first (in
// position order), then the group event.
#include "tarvo/ITarvo.h"
#include "tarvo/TarvoCounterCache.h"
#include "tarvo/TarvoIOCache.h"
#include "vantel/VantelStackDevice.h"

#include <atomic>
#include <memory>

class TTarvo : public TVantelStackDevice, public virtual ITarvo {
public:
    // Counters a module can have, whatever its inputs.
    static constexpr int kMaxCounters = 60;
    // Output numbers an output command byte can carry.
    static constexpr int kMaxOutputNumber = 127;

    explicit TTarvo(uint8_t address);

    bool GetInputs(TTarvoIOArray& states, bool synchronous) override;
    bool GetOutputs(TTarvoIOArray& states, bool synchronous) override;
    bool GetInput(int number, bool& state) override;
    bool GetOutput(int number, bool& state) override;
    bool SetOutputPWM(uint8_t a, uint8_t b) override;
    bool GetOutputPWM(uint8_t a, uint8_t& value) override;
    bool GetInputPPS(uint8_t a, uint8_t b, uint16_t& value) override;
    bool SetOutput(int number, bool state, bool synchronous, uint32_t time) override;
    bool SetOutputs(const TTarvoIOArray& states, bool synchronous) override;
    bool GetCounter(int number, uint32_t& value, bool clear) override;
    bool SetAutoNotify(uint8_t value) override;
    bool GetAutoNotify(bool& on) override;
    bool GetCounterSetting(int number, bool& optionA, bool& optionB) override;
    bool SetCounterSetting(int number, bool optionA, bool optionB) override;

    TeventerTarvoNotifyChangeIOs* InputsChangedEventer() override { return inputsChanged_.get(); }
    TeventerTarvoNotifyChangeIOs* OutputsChangedEventer() override { return outputsChanged_.get(); }
    TeventerTarvoNotifyChangeIO* InputChangedEventer() override { return inputChanged_.get(); }
    TeventerTarvoNotifyChangeIO* OutputChangedEventer() override { return outputChanged_.get(); }

    bool GetInfo(TTarvoInfo& info) override;
    bool IsTarvoIdentified() override { return identified_; }
    uint8_t GetAutoNotifyCached() override;
    bool SetAutoNotifyCached(uint8_t value) override;
    bool RefreshStates(bool outputs, bool inputs, bool counters, bool counterSettings) override;
    bool RefreshStatesEx(bool& outputs, bool& inputs, bool& counterSettings, bool& counters) override;

    int GetRecentInputs(TTarvoIOArray& states) override { return inputs_.Recent(states); }
    int GetRecentOutputs(TTarvoIOArray& states) override { return outputs_.Recent(states); }
    bool GetRecentInput(int number, bool& state) override { return inputs_.RecentOne(number, state); }
    bool GetRecentOutput(int number, bool& state) override { return outputs_.RecentOne(number, state); }
    bool GetRecentCounter(int number, uint32_t& value) override { return counters_.Value(number, value); }
    bool GetRecentCounterSetting(int number, bool& optionA, bool& optionB) override
    {
        return counters_.Options(number, optionA, optionB);
    }

    int CounterCount() override;
    int InputCount() override;
    int OutputCount() override;
    int ThermometerCount() override;

    bool GetTemperature(uint8_t number, double& degrees) override;
    bool ReadText3B(uint8_t selector, std::string& text, int& number) override;
    bool WriteText2B(uint8_t selector, const std::string& text, int number) override;
    bool ReadText3A(uint8_t selector, std::string& text, int& number) override;
    bool WriteText2A(uint8_t selector, const std::string& text, int number) override;
    bool ReadMode38(uint8_t selector, TTarvoMode& mode) override;
    bool ReadModes38(AByte& modes) override;
    bool ReadValue36(uint8_t selector, uint8_t& first, float& value) override;
    bool WriteValue26(uint8_t a, uint8_t b, float value) override;
    bool ReadValues36(ASingle& values) override;
    bool Write25(uint8_t value) override;
    bool GetThermostatSetting(uint8_t channel, TTarvoThermostatSetting& setting) override;
    bool GetThermostatSettings(AInteger& channels, ATarvoThermostatSettings& settings) override;
    bool SetThermostatSetting(uint8_t channel, const TTarvoThermostatSetting& setting) override;

    // Identified by the profile of the first modules (no I/O counts in the answer).
    bool IsLegacyProfile() const { return legacy_; }

protected:
    void* FindInterface(REFIID iid) override;
    // Code 13: the inputs; 12, 14 and 15 are ignored.
    void AutomaticMessage(const TVantelFormat97& record) override;

private:
    bool Ask(uint8_t instruction, const std::string& data, std::string& answer);
    bool Tell(uint8_t instruction, const std::string& data);
    // 0xF3 and the parse of its answer; true when the exchange succeeded.
    bool IdentifyTarvo();
    bool EnsureIdentified();
    TTarvoInfo InfoCopy();
    // The module's count once identified; TTarvoIOCache::kUnknownCount before.
    int KnownInputCount();
    int KnownOutputCount();
    bool DecodeStates(const std::string& answer, TTarvoIOArray& states, int knownCount);
    void ProcessInputs(const TTarvoIOArray& states);
    void ProcessOutputs(const TTarvoIOArray& states);
    void Announce(const TIOsChngRec& changes, TeventerTarvoNotifyChangeIO& single,
                  TeventerTarvoNotifyChangeIOs& group);
    // A module that refuses a counter instruction as absent (acknowledge 2) has none.
    void NoteCounterRefusal();
    bool GetCounters(TTarvoCounterArray& values);
    bool GetCounterSettings();
    bool ReadName(uint8_t instruction, uint8_t selector, std::string& text, int& number);
    bool AppendThermostatSettings(const std::string& answer, AInteger& channels, ATarvoThermostatSettings& settings);
    bool GetThermostatSettingsInGroups(AInteger& channels, ATarvoThermostatSettings& settings);

    // Asynchronous replies.
    void InputsReplied(const TVantelFormat97& request, const TVantelFormat97& reply);
    void OutputsReplied(const TVantelFormat97& request, const TVantelFormat97& reply);
    void OutputCommandsReplied(const TVantelFormat97& request, const TVantelFormat97& reply);

    std::unique_ptr<TeventerTarvoNotifyChangeIOs> inputsChanged_;
    std::unique_ptr<TeventerTarvoNotifyChangeIOs> outputsChanged_;
    std::unique_ptr<TeventerTarvoNotifyChangeIO> inputChanged_;
    std::unique_ptr<TeventerTarvoNotifyChangeIO> outputChanged_;
    std::atomic<uint8_t> autoNotifyValue_ = 0;
    std::atomic<bool> autoNotifyKnown_ = false;
    TTarvoIOCache inputs_;
    TTarvoIOCache outputs_;
    TTarvoCounterCache counters_;
    TCriticalSection infoLock_;
    TTarvoInfo info_;
    std::atomic<bool> identified_ = false;
    std::atomic<bool> legacy_ = false;
    std::atomic<bool> noCounters_ = false;
};
