#include "tarvo/TarvoCodecs.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

constexpr size_t kNameSize = 21;
constexpr uint8_t kStateBit = 0x80;
constexpr uint8_t kOutputNumberMask = 0x7F;
constexpr uint8_t kCounterNumberMask = 0x3F;
constexpr uint8_t kOptionABit = 0x80;
constexpr uint8_t kOptionBBit = 0x40;
constexpr int kLongestCounter = 32;

uint8_t ByteAt(const std::string& bytes, size_t index)
{
    return static_cast<uint8_t>(bytes[index]);
}

int16_t SignedWordAt(const std::string& bytes, size_t index)
{
    return static_cast<int16_t>(ByteAt(bytes, index) << 8 | ByteAt(bytes, index + 1));
}

std::string SignedWord(double value)
{
    const double clamped = std::clamp(std::round(value), -32768.0, 32767.0);
    const auto word = static_cast<uint16_t>(static_cast<int16_t>(clamped));
    return {static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
}

bool BitOf(const std::string& bytes, size_t position)
{
    const uint8_t byte = ByteAt(bytes, bytes.size() - 1 - position / 8);
    return (byte >> (position % 8) & 1) != 0;
}

} // namespace

bool DecodeIOBits(const std::string& bytes, TTarvoIOArray& states)
{
    if (states.empty())
        states.resize(bytes.size() * 8);
    const size_t decoded = std::min(states.size(), bytes.size() * 8);
    for (size_t position = 0; position < decoded; ++position)
        states[position] = BitOf(bytes, position);
    return decoded > 0;
}

bool DecodeIOBits(const std::string& bytes, TTarvoIOArray& states, size_t count)
{
    if (bytes.size() * 8 < count)
        return false;
    TTarvoIOArray decoded(count);
    for (size_t position = 0; position < count; ++position)
        decoded[position] = BitOf(bytes, position);
    states.swap(decoded);
    return true;
}

uint8_t OutputCommandByte(int number, bool state)
{
    return static_cast<uint8_t>((state ? kStateBit : 0) | (number & kOutputNumberMask));
}

int OutputNumberOf(uint8_t command)
{
    return command & kOutputNumberMask;
}

bool OutputStateOf(uint8_t command)
{
    return (command & kStateBit) != 0;
}

uint8_t CounterRequestByte(int number, bool clear)
{
    return static_cast<uint8_t>((clear ? kStateBit : 0) | (number & kCounterNumberMask));
}

bool DecodeCounterValues(const std::string& answer, TTarvoCounterArray& values)
{
    if (answer.empty())
        return false;
    const int width = ByteAt(answer, 0);
    if (width == 0 || width > kLongestCounter)
        return false;
    const size_t size = static_cast<size_t>((width + 7) / 8);
    values.clear();
    for (size_t start = 1; start + size <= answer.size(); start += size) {
        uint32_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value = value << 8 | ByteAt(answer, start + i);
        values.push_back(value);
    }
    return true;
}

uint8_t CounterSettingByte(int number, bool optionA, bool optionB)
{
    return static_cast<uint8_t>((number & kCounterNumberMask) | (optionA ? kOptionABit : 0) |
                                (optionB ? kOptionBBit : 0));
}

bool FindCounterSetting(const std::string& answer, int number, bool& optionA, bool& optionB)
{
    for (const char c : answer) {
        const auto byte = static_cast<uint8_t>(c);
        if ((byte & kCounterNumberMask) == number) {
            optionA = (byte & kOptionABit) != 0;
            optionB = (byte & kOptionBBit) != 0;
            return true;
        }
    }
    return false;
}

bool DecodeTemperature(const std::string& answer, double& degrees)
{
    if (answer.size() < 3)
        return false;
    degrees = SignedWordAt(answer, 1) / 10.0;
    return true;
}

bool DecodeName(const std::string& answer, std::string& name, int& number)
{
    if (answer.size() != kNameSize)
        return false;
    std::string text = answer;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    number = 0;
    name.clear();
    if (text.empty())
        return true;
    if (std::isdigit(static_cast<unsigned char>(text[0])))
        number = text[0] - '0';
    name = text.substr(1);
    return true;
}

std::string EncodeNameRequest(uint8_t selector, const std::string& name, int number)
{
    std::string field = (std::to_string(number) + name).substr(0, kNameSize);
    field.resize(kNameSize, '\0');
    return static_cast<char>(selector) + field;
}

TTarvoMode DecodeMode(uint8_t byte)
{
    TTarvoMode mode;
    mode.kind = byte >> 7;
    if (mode.kind == 0) {
        mode.mode = byte & 0x03;
        return mode;
    }
    mode.mode = (byte >> 5) & 0x03;
    if (mode.mode == 1) {
        mode.subMode = (byte >> 1) & 0x03;
        mode.flag = byte & 0x01;
    }
    return mode;
}

float HalvesToValue(uint8_t byte)
{
    return byte / 2.0F;
}

uint8_t ValueToHalves(float value)
{
    return static_cast<uint8_t>(std::clamp(std::round(value * 2.0F), 0.0F, 255.0F));
}

bool DecodeThermostatSetting(const std::string& bytes, size_t offset, uint8_t& channel,
                             TTarvoThermostatSetting& setting)
{
    if (offset > bytes.size() || bytes.size() - offset < kThermostatSettingSize)
        return false;
    channel = ByteAt(bytes, offset);
    const uint8_t flags = ByteAt(bytes, offset + 1);
    setting.flagA = (flags & 0x80) != 0;
    setting.mode = (flags >> 5) & 0x03;
    setting.flagB = (flags & 0x10) != 0;
    setting.subMode = flags & 0x0F;
    setting.value1 = SignedWordAt(bytes, offset + 2) / 10.0F;
    setting.value2 = SignedWordAt(bytes, offset + 4) / 10.0F;
    setting.value3 = HalvesToValue(ByteAt(bytes, offset + 6));
    setting.extra = ByteAt(bytes, offset + 7);
    return true;
}

std::string EncodeThermostatSetting(uint8_t channel, const TTarvoThermostatSetting& setting)
{
    const auto flags = static_cast<uint8_t>((setting.flagA ? 0x80 : 0) | (setting.mode & 0x03) << 5 |
                                            (setting.flagB ? 0x10 : 0) | (setting.subMode & 0x0F));
    return std::string{static_cast<char>(channel), static_cast<char>(flags)} + SignedWord(setting.value1 * 10.0) +
           SignedWord(setting.value2 * 10.0) + static_cast<char>(ValueToHalves(setting.value3)) +
           static_cast<char>(setting.extra);
}
