#include "tarvo/Tarvo.h"

#include "tarvo/TarvoCodecs.h"

#include <algorithm>

namespace {

// The Tarvo instructions.
enum : uint8_t {
    kReadInputs = 0x31,
    kReadOutputs = 0x30,
    kSetOutputs = 0x20,
    kSetTimedOutput = 0x23,
    kSetPwm = 0x70,
    kReadPwm = 0x71,
    kReadPulseRate = 0x62,
    kReadCounters = 0x60,
    kSetCounterSetting = 0x6A,
    kReadCounterSettings = 0x6B,
    kSetAutoNotify = 0x10,
    kReadAutoNotify = 0x11,
    kReadTemperature = 0x51,
    kReadName3B = 0x3B,
    kWriteName2B = 0x2B,
    kReadName3A = 0x3A,
    kWriteName2A = 0x2A,
    kReadModes = 0x38,
    kReadValues = 0x36,
    kWriteValue = 0x26,
    kWrite25 = 0x25,
    kReadThermostats = 0x1B,
    kWriteThermostat = 0x1A,
};

// Unsolicited frame that carries the input bit string.
constexpr uint8_t kInputsMessage = 13;
constexpr uint8_t kAutoNotifyOn = 'a';
constexpr int32_t kAbsentFeature = 2;
constexpr int32_t kAnswerTooLong = 3;
constexpr size_t kThermostatsPerRequest = 12;
constexpr int kHighestCounterNumber = 63;

std::string Bytes(std::initializer_list<uint8_t> values)
{
    std::string bytes;
    for (const uint8_t value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

uint8_t ByteAt(const std::string& bytes, size_t index)
{
    return static_cast<uint8_t>(bytes[index]);
}

std::vector<std::pair<int, bool>> OutputWritesOf(const std::string& commands)
{
    std::vector<std::pair<int, bool>> writes;
    for (const char command : commands)
        writes.emplace_back(OutputNumberOf(static_cast<uint8_t>(command)), OutputStateOf(static_cast<uint8_t>(command)));
    return writes;
}

} // namespace

TTarvo::TTarvo(uint8_t address)
    : TVantelStackDevice(address),
      inputsChanged_(std::make_unique<TeventerTarvoNotifyChangeIOs>()),
      outputsChanged_(std::make_unique<TeventerTarvoNotifyChangeIOs>()),
      inputChanged_(std::make_unique<TeventerTarvoNotifyChangeIO>()),
      outputChanged_(std::make_unique<TeventerTarvoNotifyChangeIO>())
{
}

void* TTarvo::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_ITarvo))
        return static_cast<ITarvo*>(this);
    return TVantelStackDevice::FindInterface(iid);
}

bool TTarvo::Ask(uint8_t instruction, const std::string& data, std::string& answer)
{
    return SendForData(instruction, data, {}, true, -1, answer);
}

bool TTarvo::Tell(uint8_t instruction, const std::string& data)
{
    return SendData(instruction, data, {}, true, -1);
}

// Identification

bool TTarvo::IdentifyTarvo()
{
    legacy_ = false;
    std::string answer;
    if (!GetIdentificationText(answer)) {
        identified_ = false;
        return false;
    }
    TTarvoInfo info;
    bool identified = info.Parse(answer);
    if (!identified && info.ApplyLegacyProfile(answer)) {
        identified = true;
        legacy_ = true;
        noCounters_ = true;
    }
    {
        TLockGuard guard(infoLock_);
        info_ = info;
    }
    identified_ = identified;
    return true;
}

bool TTarvo::EnsureIdentified()
{
    // A module absent at first use is asked again next time.
    if (!identified_)
        IdentifyTarvo();
    return identified_;
}

TTarvoInfo TTarvo::InfoCopy()
{
    TLockGuard guard(infoLock_);
    return info_;
}

bool TTarvo::GetInfo(TTarvoInfo& info)
{
    if (!EnsureIdentified())
        return false;
    info = InfoCopy();
    return true;
}

int TTarvo::InputCount()
{
    return EnsureIdentified() ? std::max(InfoCopy().inputs, 0) : 0;
}

int TTarvo::OutputCount()
{
    return EnsureIdentified() ? std::max(InfoCopy().outputs, 0) : 0;
}

int TTarvo::ThermometerCount()
{
    return EnsureIdentified() ? InfoCopy().thermometers : 0;
}

int TTarvo::CounterCount()
{
    const int inputs = InputCount();
    const int count = noCounters_ ? 0 : std::min(inputs, kMaxCounters);
    counters_.Resize(count);
    return count;
}

int TTarvo::KnownInputCount()
{
    return identified_ ? std::max(InfoCopy().inputs, 0) : TTarvoIOCache::kUnknownCount;
}

int TTarvo::KnownOutputCount()
{
    return identified_ ? std::max(InfoCopy().outputs, 0) : TTarvoIOCache::kUnknownCount;
}

// Inputs and outputs

bool TTarvo::DecodeStates(const std::string& answer, TTarvoIOArray& states, int knownCount)
{
    // Once the count is known, an answer too short for it is a failure.
    if (knownCount >= 0)
        return DecodeIOBits(answer, states, static_cast<size_t>(knownCount));
    states.clear();
    return DecodeIOBits(answer, states);
}

void TTarvo::Announce(const TIOsChngRec& changes, TeventerTarvoNotifyChangeIO& single,
                      TeventerTarvoNotifyChangeIOs& group)
{
    if (changes.empty())
        return;
    for (const TIOChange& change : changes)
        single.Fire(this, change.position, change.newState, change.oldState);
    group.Fire(this, changes);
}

void TTarvo::ProcessInputs(const TTarvoIOArray& states)
{
    Announce(inputs_.Apply(states, KnownInputCount()), *inputChanged_, *inputsChanged_);
}

void TTarvo::ProcessOutputs(const TTarvoIOArray& states)
{
    Announce(outputs_.Apply(states, KnownOutputCount()), *outputChanged_, *outputsChanged_);
}

bool TTarvo::GetInputs(TTarvoIOArray& states, bool synchronous)
{
    if (!synchronous)
        return SendInstruction(kReadInputs, -1, MakeMethod<&TTarvo::InputsReplied>(this), false);
    std::string answer;
    TTarvoIOArray decoded;
    if (!Ask(kReadInputs, {}, answer) || !DecodeStates(answer, decoded, KnownInputCount()))
        return false;
    ProcessInputs(decoded);
    states = decoded;
    return true;
}

bool TTarvo::GetOutputs(TTarvoIOArray& states, bool synchronous)
{
    if (!synchronous)
        return SendInstruction(kReadOutputs, -1, MakeMethod<&TTarvo::OutputsReplied>(this), false);
    std::string answer;
    TTarvoIOArray decoded;
    if (!Ask(kReadOutputs, {}, answer) || !DecodeStates(answer, decoded, KnownOutputCount()))
        return false;
    ProcessOutputs(decoded);
    states = decoded;
    return true;
}

void TTarvo::InputsReplied(const TVantelFormat97&, const TVantelFormat97& reply)
{
    TTarvoIOArray decoded;
    if (reply.instruction == 0 && DecodeStates(reply.data, decoded, KnownInputCount()))
        ProcessInputs(decoded);
}

void TTarvo::OutputsReplied(const TVantelFormat97&, const TVantelFormat97& reply)
{
    TTarvoIOArray decoded;
    if (reply.instruction == 0 && DecodeStates(reply.data, decoded, KnownOutputCount()))
        ProcessOutputs(decoded);
}

void TTarvo::OutputCommandsReplied(const TVantelFormat97& request, const TVantelFormat97& reply)
{
    if (reply.instruction == 0)
        Announce(outputs_.ApplyWrites(OutputWritesOf(request.data), KnownOutputCount()), *outputChanged_,
                 *outputsChanged_);
}

bool TTarvo::GetInput(int number, bool& state)
{
    TTarvoIOArray states;
    if (!GetInputs(states, true) || number < 1 || static_cast<size_t>(number) > states.size())
        return false;
    state = states[static_cast<size_t>(number - 1)];
    return true;
}

bool TTarvo::GetOutput(int number, bool& state)
{
    TTarvoIOArray states;
    if (!GetOutputs(states, true) || number < 1 || static_cast<size_t>(number) > states.size())
        return false;
    state = states[static_cast<size_t>(number - 1)];
    return true;
}

void TTarvo::AutomaticMessage(const TVantelFormat97& record)
{
    TTarvoIOArray decoded;
    if (record.instruction == kInputsMessage && DecodeStates(record.data, decoded, KnownInputCount()))
        ProcessInputs(decoded);
}

bool TTarvo::SetOutput(int number, bool state, bool synchronous, uint32_t time)
{
    if (number < 1 || number > kMaxOutputNumber)
        return false;
    const std::string command = Bytes({OutputCommandByte(number, state)});
    if (time != 0)
        return SendData(kSetTimedOutput, Bytes({static_cast<uint8_t>(time % 256)}) + command, {}, synchronous, -1);
    if (!synchronous)
        return SendData(kSetOutputs, command, MakeMethod<&TTarvo::OutputCommandsReplied>(this), false, -1);
    if (!Tell(kSetOutputs, command))
        return false;
    if (static_cast<size_t>(number) < outputs_.Size()) {
        TTarvoIOArray states;
        GetOutputs(states, true);
    } else {
        // Only the output written is confirmed; the others stay as they were known.
        Announce(outputs_.ApplyWrites({{number, state}}, KnownOutputCount()), *outputChanged_, *outputsChanged_);
    }
    return true;
}

bool TTarvo::SetOutputs(const TTarvoIOArray& states, bool synchronous)
{
    if (states.empty() || states.size() > static_cast<size_t>(kMaxOutputNumber))
        return false;
    std::string commands;
    for (size_t index = 0; index < states.size(); ++index)
        commands += static_cast<char>(OutputCommandByte(static_cast<int>(index + 1), states[index]));
    if (!synchronous)
        return SendData(kSetOutputs, commands, MakeMethod<&TTarvo::OutputCommandsReplied>(this), false, -1);
    if (!Tell(kSetOutputs, commands))
        return false;
    ProcessOutputs(states);
    return true;
}

bool TTarvo::SetOutputPWM(uint8_t a, uint8_t b)
{
    return Tell(kSetPwm, Bytes({a, b}));
}

bool TTarvo::GetOutputPWM(uint8_t a, uint8_t& value)
{
    std::string answer;
    if (!Ask(kReadPwm, Bytes({a}), answer) || answer.size() != 2)
        return false;
    value = ByteAt(answer, 1);
    return true;
}

bool TTarvo::GetInputPPS(uint8_t a, uint8_t b, uint16_t& value)
{
    value = 0;
    std::string answer;
    if (!Ask(kReadPulseRate, Bytes({a, b}), answer) || answer.size() != 2)
        return false;
    value = static_cast<uint16_t>(ByteAt(answer, 0) << 8 | ByteAt(answer, 1));
    return true;
}

// Counters

void TTarvo::NoteCounterRefusal()
{
    if (GetStatus() == kVantelStatusRefused && GetLastAck() == kAbsentFeature)
        noCounters_ = true;
}

bool TTarvo::GetCounter(int number, uint32_t& value, bool clear)
{
    if (number < 0 || number > kHighestCounterNumber)
        return false;
    std::string answer;
    if (!Ask(kReadCounters, Bytes({CounterRequestByte(number, clear)}), answer)) {
        NoteCounterRefusal();
        return false;
    }
    TTarvoCounterArray values;
    if (!DecodeCounterValues(answer, values) || values.empty())
        return false;
    value = values[0];
    if (number >= 1 && number <= CounterCount())
        counters_.SetValue(number, clear ? 0 : value);
    return true;
}

bool TTarvo::GetCounters(TTarvoCounterArray& values)
{
    std::string answer;
    if (!Ask(kReadCounters, Bytes({CounterRequestByte(0, false)}), answer)) {
        NoteCounterRefusal();
        return false;
    }
    TTarvoCounterArray decoded;
    if (!DecodeCounterValues(answer, decoded))
        return false;
    const int count = CounterCount();
    values.assign(decoded.begin(), decoded.begin() + std::min<size_t>(decoded.size(), static_cast<size_t>(count)));
    for (size_t index = 0; index < values.size(); ++index)
        counters_.SetValue(static_cast<int>(index + 1), values[index]);
    return values.size() == static_cast<size_t>(count);
}

bool TTarvo::GetCounterSetting(int number, bool& optionA, bool& optionB)
{
    if (number < 1 || number > kHighestCounterNumber)
        return false;
    std::string answer;
    if (!Ask(kReadCounterSettings, Bytes({static_cast<uint8_t>(number)}), answer)) {
        NoteCounterRefusal();
        return false;
    }
    if (!FindCounterSetting(answer, number, optionA, optionB))
        return false;
    if (number <= CounterCount())
        counters_.SetOptions(number, optionA, optionB);
    return true;
}

bool TTarvo::GetCounterSettings()
{
    std::string answer;
    if (!Ask(kReadCounterSettings, {}, answer)) {
        NoteCounterRefusal();
        return false;
    }
    bool complete = true;
    const int count = CounterCount();
    for (int number = 1; number <= count; ++number) {
        bool optionA = false;
        bool optionB = false;
        if (FindCounterSetting(answer, number, optionA, optionB))
            counters_.SetOptions(number, optionA, optionB);
        else
            complete = false;
    }
    return complete;
}

bool TTarvo::SetCounterSetting(int number, bool optionA, bool optionB)
{
    if (number < 1 || number > kMaxCounters)
        return false;
    if (!Tell(kSetCounterSetting, Bytes({CounterSettingByte(number, optionA, optionB)}))) {
        NoteCounterRefusal();
        return false;
    }
    counters_.SetOptions(number, optionA, optionB);
    return true;
}

// Automatic notification

bool TTarvo::SetAutoNotify(uint8_t value)
{
    return Tell(kSetAutoNotify, Bytes({value}));
}

bool TTarvo::GetAutoNotify(bool& on)
{
    std::string answer;
    if (!Ask(kReadAutoNotify, {}, answer) || answer.size() != 1)
        return false;
    on = ByteAt(answer, 0) == kAutoNotifyOn;
    autoNotifyValue_ = on ? 1 : 0;
    autoNotifyKnown_ = true;
    return true;
}

uint8_t TTarvo::GetAutoNotifyCached()
{
    bool on = false;
    if (!autoNotifyKnown_)
        GetAutoNotify(on);
    return autoNotifyKnown_ ? autoNotifyValue_.load() : 0;
}

bool TTarvo::SetAutoNotifyCached(uint8_t value)
{
    const bool written = SetAutoNotify(value);
    autoNotifyValue_ = value;
    autoNotifyKnown_ = written;
    return written;
}

// Refresh

bool TTarvo::RefreshStates(bool outputs, bool inputs, bool counters, bool counterSettings)
{
    return RefreshStatesEx(outputs, inputs, counterSettings, counters);
}

bool TTarvo::RefreshStatesEx(bool& outputs, bool& inputs, bool& counterSettings, bool& counters)
{
    if (!EnsureIdentified()) {
        outputs = inputs = counterSettings = counters = false;
        return false;
    }
    bool all = true;
    // A part asked for runs when its count is above 0; with none it counts as done.
    const auto refresh = [&all](bool& asked, int count, auto read) {
        if (asked && count > 0) {
            asked = read();
            all = all && asked;
        }
    };
    TTarvoIOArray states;
    TTarvoCounterArray values;
    refresh(outputs, OutputCount(), [&] { return GetOutputs(states, true); });
    refresh(inputs, InputCount(), [&] { return GetInputs(states, true); });
    refresh(counters, CounterCount(), [&] { return GetCounters(values); });
    refresh(counterSettings, CounterCount(), [&] { return GetCounterSettings(); });
    return all;
}

// Temperature, names, modes, values

bool TTarvo::GetTemperature(uint8_t number, double& degrees)
{
    std::string answer;
    return Ask(kReadTemperature, Bytes({number}), answer) && DecodeTemperature(answer, degrees);
}

bool TTarvo::ReadName(uint8_t instruction, uint8_t selector, std::string& text, int& number)
{
    std::string answer;
    return Ask(instruction, Bytes({selector}), answer) && DecodeName(answer, text, number);
}

bool TTarvo::ReadText3B(uint8_t selector, std::string& text, int& number)
{
    return ReadName(kReadName3B, selector, text, number);
}

bool TTarvo::WriteText2B(uint8_t selector, const std::string& text, int number)
{
    return Tell(kWriteName2B, EncodeNameRequest(selector, text, number));
}

bool TTarvo::ReadText3A(uint8_t selector, std::string& text, int& number)
{
    return ReadName(kReadName3A, selector, text, number);
}

bool TTarvo::WriteText2A(uint8_t selector, const std::string& text, int number)
{
    return Tell(kWriteName2A, EncodeNameRequest(selector, text, number));
}

bool TTarvo::ReadMode38(uint8_t selector, TTarvoMode& mode)
{
    std::string answer;
    if (!Ask(kReadModes, Bytes({selector}), answer) || answer.empty())
        return false;
    mode = DecodeMode(ByteAt(answer, 0));
    return true;
}

bool TTarvo::ReadModes38(AByte& modes)
{
    std::string answer;
    if (!Ask(kReadModes, {}, answer))
        return false;
    modes.assign(answer.begin(), answer.end());
    return true;
}

bool TTarvo::ReadValue36(uint8_t selector, uint8_t& first, float& value)
{
    std::string answer;
    if (!Ask(kReadValues, Bytes({selector}), answer) || answer.size() < 2)
        return false;
    first = ByteAt(answer, 0);
    value = HalvesToValue(ByteAt(answer, 1));
    return true;
}

bool TTarvo::WriteValue26(uint8_t a, uint8_t b, float value)
{
    return Tell(kWriteValue, Bytes({a, b, ValueToHalves(value)}));
}

bool TTarvo::ReadValues36(ASingle& values)
{
    std::string answer;
    if (!Ask(kReadValues, {}, answer))
        return false;
    values.clear();
    for (size_t index = 1; index < answer.size(); index += 2)
        values.push_back(HalvesToValue(ByteAt(answer, index)));
    return true;
}

bool TTarvo::Write25(uint8_t value)
{
    return Tell(kWrite25, Bytes({value}));
}

// Thermostats

bool TTarvo::GetThermostatSetting(uint8_t channel, TTarvoThermostatSetting& setting)
{
    std::string answer;
    uint8_t answered = 0;
    return Ask(kReadThermostats, Bytes({channel}), answer) && DecodeThermostatSetting(answer, 0, answered, setting);
}

bool TTarvo::AppendThermostatSettings(const std::string& answer, AInteger& channels,
                                      ATarvoThermostatSettings& settings)
{
    if (answer.size() < kThermostatSettingSize)
        return false;
    for (size_t offset = 0; offset + kThermostatSettingSize <= answer.size(); offset += kThermostatSettingSize) {
        uint8_t channel = 0;
        TTarvoThermostatSetting setting;
        DecodeThermostatSetting(answer, offset, channel, setting);
        channels.push_back(channel);
        settings.push_back(setting);
    }
    return true;
}

bool TTarvo::GetThermostatSettings(AInteger& channels, ATarvoThermostatSettings& settings)
{
    channels.clear();
    settings.clear();
    std::string answer;
    if (Ask(kReadThermostats, {}, answer))
        return AppendThermostatSettings(answer, channels, settings);
    // A module with many outputs cannot answer for all of them at once.
    if (GetLastAck() != kAnswerTooLong)
        return false;
    return GetThermostatSettingsInGroups(channels, settings);
}

bool TTarvo::GetThermostatSettingsInGroups(AInteger& channels, ATarvoThermostatSettings& settings)
{
    const int outputs = OutputCount();
    if (outputs <= 0)
        return false;
    std::string group;
    for (int channel = 0; channel < outputs; ++channel) {
        group += static_cast<char>(channel);
        if (group.size() < kThermostatsPerRequest && channel + 1 < outputs)
            continue;
        std::string answer;
        if (!Ask(kReadThermostats, group, answer) || !AppendThermostatSettings(answer, channels, settings))
            break;
        group.clear();
    }
    return settings.size() == static_cast<size_t>(outputs);
}

bool TTarvo::SetThermostatSetting(uint8_t channel, const TTarvoThermostatSetting& setting)
{
    return Tell(kWriteThermostat, EncodeThermostatSetting(channel, setting));
}
