#include "vantel/VantelStackDevice.h"

#include "binding/ForwardedError.h"
#include "ParamSet.h"
#include "ResultCodes.h"
#include "vantel/VantelFrameReader.h"

#include <array>
#include <optional>

namespace {

// The instructions every Vantel device understands.
enum : uint8_t {
    kReset = 0xE3,
    kIdentify = 0xF3,
    kReadParam = 0xF1,
    kWriteParam = 0xE1,
    kReadUserData = 0xF2,
    kWriteUserData = 0xE2,
    kReadFlag = 0xFE,
    kWriteFlag = 0xEE,
    kFactoryInfo = 0xFA,
    kReadAddress = 0xF0,
    kPrepareConfigWrite = 0xE4,
    kWriteAddress = 0xE0,
    kWriteAddressBySerial = 0xEB,
};

constexpr const char* kSignatureOverload = "SIG stack overload";
constexpr uint8_t kLastReplyCode = 5;
constexpr uint8_t kFirstUnsolicited = 12;
constexpr uint8_t kLastUnsolicited = 15;
constexpr size_t kUserDataLength = 16;
constexpr size_t kFactoryInfoLength = 8;
constexpr uint8_t kUnknownBaudCode = 0xFF;
// Addresses the device takes while 0xEB runs, and from which it is sent unanswered.
constexpr uint8_t kProgrammingAddress = 254;
constexpr uint8_t kUnansweredAddress = 255;

// Baud rate by code.
constexpr std::array<uint32_t, 12> kBaudRates{110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};

uint8_t BaudCodeOf(uint32_t rate)
{
    for (size_t code = 0; code < kBaudRates.size(); ++code) {
        if (kBaudRates[code] == rate)
            return static_cast<uint8_t>(code);
    }
    return kUnknownBaudCode;
}

uint32_t BaudRateOf(uint8_t code)
{
    return code < kBaudRates.size() ? kBaudRates[code] : 0;
}

uint8_t ByteAt(const std::string& bytes, size_t index)
{
    return static_cast<uint8_t>(bytes[index]);
}

// `count` bytes from `first`, high byte first.
uint32_t BigEndian(const std::string& bytes, size_t first, size_t count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = value << 8 | ByteAt(bytes, first + i);
    return value;
}

uint32_t EffectiveTimeout(int32_t timeoutMs)
{
    return static_cast<uint32_t>(timeoutMs < 0 ? TVantelStackDevice::kDefaultTimeoutMs : timeoutMs);
}

std::string ByteText(uint8_t value)
{
    return std::string(1, static_cast<char>(value));
}

} // namespace

TVantelStackDevice::TVantelStackDevice(uint8_t address) : address_(address) {}

void* TVantelStackDevice::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IVantelStackDevice))
        return static_cast<IVantelStackDevice*>(this);
    return TMyInterfacedObject::FindInterface(iid);
}

TIntfPtr<IVantelStack> TVantelStackDevice::GetStack()
{
    TLockGuard guard(stackLock_);
    return stack_;
}

void TVantelStackDevice::SetStack(IVantelStack* stack)
{
    TLockGuard guard(stackLock_);
    stack_ = stack;
}

void TVantelStackDevice::ClearStatus()
{
    status_ = kVantelStatusCleared;
    lastAck_ = -1;
}

void TVantelStackDevice::Dispatch(const TVantelFormat97& record)
{
    try {
        if (record.instruction <= kLastReplyCode)
            Response(record);
        else if (record.instruction >= kFirstUnsolicited && record.instruction <= kLastUnsolicited)
            AutomaticMessage(record);
    } catch (...) {
        IobrantHandleException(std::current_exception());
    }
}

void TVantelStackDevice::AutomaticMessage(const TVantelFormat97&) {}

void TVantelStackDevice::Response(const TVantelFormat97& record)
{
    if (const auto call = slots_.Respond(record); call && call->first)
        call->first(call->second, record);
}

bool TVantelStackDevice::Exchange(uint8_t instruction, const std::string& data, TVantelReplyMethod callback,
                                  bool synchronous, int32_t timeoutMs, TVantelFormat97& reply)
{
    ClearStatus();
    reply = TVantelFormat97{};
    const auto stack = GetStack();
    if (!stack)
        return false;
    const uint32_t timeout = EffectiveTimeout(timeoutMs);
    const uint8_t fixed = fixedSignature_;
    const std::optional<uint8_t> signature = fixed != 0 ? std::optional<uint8_t>(fixed) : slots_.Allocate(timeout);
    if (!signature) {
        status_ = kVantelStatusNoReply;
        IobrantSetLastError(kErrActionFailed, kSignatureOverload);
        return false;
    }
    if (!synchronous)
        return ExchangeAsynchronously(*stack, *signature, instruction, data, callback);
    // The slot goes back however the exchange ends; a fixed signature holds none.
    struct TSlotRelease {
        TVantelSignatureSlots& slots;
        std::optional<uint8_t> signature;
        ~TSlotRelease()
        {
            if (signature)
                slots.Free(*signature);
        }
    } release{slots_, fixed != 0 ? std::nullopt : signature};
    return ExchangeSynchronously(*stack, *signature, instruction, data, timeout, reply);
}

bool TVantelStackDevice::ExchangeSynchronously(IVantelStack& stack, uint8_t signature, uint8_t instruction,
                                               const std::string& data, uint32_t timeoutMs, TVantelFormat97& reply)
{
    std::string answer;
    if (!stack.SendAndReceive(address_, signature, instruction, data, answer, timeoutMs)) {
        status_ = kVantelStatusNoReply;
        return false;
    }
    if (!IsGoodVantel97(answer)) {
        status_ = answer.empty() ? kVantelStatusNoReply : kVantelStatusBadReply;
        return false;
    }
    reply = ParseVantel97(answer);
    lastAck_ = reply.instruction;
    if (reply.signature != signature)
        return false;
    status_ = reply.instruction != 0 ? kVantelStatusRefused : kVantelStatusAcknowledged;
    return true;
}

bool TVantelStackDevice::ExchangeAsynchronously(IVantelStack& stack, uint8_t signature, uint8_t instruction,
                                                const std::string& data, TVantelReplyMethod callback)
{
    slots_.Arm(signature, callback, ParseVantel97(BuildVantel97(address_, signature, instruction, data)));
    const bool sent = stack.Send(address_, signature, instruction, data);
    if (!sent && fixedSignature_ == 0)
        slots_.Free(signature);
    return sent;
}

bool TVantelStackDevice::SendWithAck(uint8_t instruction, const std::string& data, TVantelReplyMethod callback,
                                     bool synchronous, int32_t timeoutMs, uint8_t& acknowledge, std::string& replyData)
{
    TVantelFormat97 reply;
    if (!Exchange(instruction, data, callback, synchronous, timeoutMs, reply))
        return false;
    if (synchronous && reply.instruction != 0)
        return false;
    acknowledge = reply.instruction;
    replyData = reply.data;
    return true;
}

bool TVantelStackDevice::SendForData(uint8_t instruction, const std::string& data, TVantelReplyMethod callback,
                                     bool synchronous, int32_t timeoutMs, std::string& replyData)
{
    uint8_t acknowledge = 0;
    return SendWithAck(instruction, data, callback, synchronous, timeoutMs, acknowledge, replyData);
}

bool TVantelStackDevice::SendData(uint8_t instruction, const std::string& data, TVantelReplyMethod callback,
                                  bool synchronous, int32_t timeoutMs)
{
    std::string replyData;
    return SendForData(instruction, data, callback, synchronous, timeoutMs, replyData);
}

bool TVantelStackDevice::SendInstruction(uint8_t instruction, int32_t timeoutMs, TVantelReplyMethod callback,
                                         bool synchronous)
{
    return SendData(instruction, {}, callback, synchronous, timeoutMs);
}

bool TVantelStackDevice::Reset()
{
    return SendInstruction(kReset, -1, {}, true);
}

bool TVantelStackDevice::Identify()
{
    std::string text;
    identified_ = SendForData(kIdentify, {}, {}, true, -1, text);
    if (!identified_)
        return false;
    const size_t first = text.find(';');
    const size_t second = first == std::string::npos ? std::string::npos : text.find(';', first + 1);
    if (second == std::string::npos)
        return true;
    const std::string_view items = text;
    name_ = TrimBlanks(items.substr(0, first));
    version_ = TrimBlanks(items.substr(first + 1, second - first - 1));
    if (const size_t mark = version_.find('v'); mark != std::string::npos)
        version_.erase(0, mark + 1);
    const size_t third = text.find(';', second + 1);
    thirdItem_ = TrimBlanks(items.substr(second + 1, third == std::string::npos ? std::string::npos : third - second - 1));
    return true;
}

bool TVantelStackDevice::GetIdentificationText(std::string& text)
{
    return SendForData(kIdentify, {}, {}, true, -1, text);
}

bool TVantelStackDevice::ReadParamF1(uint8_t& value)
{
    std::string reply;
    if (!SendForData(kReadParam, {}, {}, true, -1, reply))
        return false;
    parameterByte_ = reply.empty() ? 0 : ByteAt(reply, 0);
    value = parameterByte_;
    return true;
}

bool TVantelStackDevice::WriteParamE1(uint8_t value)
{
    if (!SendData(kWriteParam, ByteText(value), {}, true, -1))
        return false;
    parameterByte_ = value;
    return true;
}

bool TVantelStackDevice::GetUserData(std::string& data)
{
    return SendForData(kReadUserData, {}, {}, true, -1, data);
}

bool TVantelStackDevice::SetUserData(const std::string& text)
{
    std::string data = ByteText(0);
    data.append(text, 0, kUserDataLength);
    if (text.size() < kUserDataLength)
        data += ByteText(0);
    return SendData(kWriteUserData, data, {}, true, -1);
}

bool TVantelStackDevice::ReadFlagFE(bool& flag)
{
    std::string reply;
    if (!SendForData(kReadFlag, {}, {}, true, -1, reply))
        return false;
    flag = !reply.empty() && ByteAt(reply, 0) != 0;
    return true;
}

bool TVantelStackDevice::WriteFlagEE(bool flag)
{
    return SendData(kWriteFlag, ByteText(flag ? 1 : 0), {}, true, -1);
}

bool TVantelStackDevice::GetFactoryInfo(uint16_t& word1, uint16_t& word2, uint32_t& value)
{
    std::string reply;
    if (!SendForData(kFactoryInfo, {}, {}, true, -1, reply) || reply.size() < kFactoryInfoLength)
        return false;
    word1 = static_cast<uint16_t>(BigEndian(reply, 0, 2));
    word2 = static_cast<uint16_t>(BigEndian(reply, 2, 2));
    value = BigEndian(reply, 4, 4);
    return true;
}

bool TVantelStackDevice::ReadAddressReply(std::string& reply)
{
    if (!SendForData(kReadAddress, {}, {}, true, -1, reply))
        return false;
    if (reply.size() >= 2)
        address_ = ByteAt(reply, 0);
    return true;
}

bool TVantelStackDevice::ReadAddress(uint8_t& address)
{
    std::string reply;
    const bool read = ReadAddressReply(reply);
    address = address_;
    return read;
}

bool TVantelStackDevice::WriteAddress(uint8_t address)
{
    std::string reply;
    if (!ReadAddressReply(reply) || reply.empty() || !PrepareConfigWrite())
        return false;
    reply[0] = static_cast<char>(address);
    if (!SendData(kWriteAddress, reply, {}, true, -1))
        return false;
    address_ = address;
    return true;
}

bool TVantelStackDevice::ReadAddressAndBaud(uint8_t& address, uint32_t& baudRate)
{
    std::string reply;
    if (!SendForData(kReadAddress, {}, {}, true, -1, reply) || reply.size() < 2)
        return false;
    address_ = ByteAt(reply, 0);
    address = address_;
    baudRate = BaudRateOf(ByteAt(reply, 1));
    return true;
}

bool TVantelStackDevice::WriteAddressAndBaud(uint8_t address, uint32_t baudRate)
{
    if (!SendInstruction(kPrepareConfigWrite, -1, {}, true))
        return false;
    if (!SendData(kWriteAddress, ByteText(address) + ByteText(BaudCodeOf(baudRate)), {}, true, -1))
        return false;
    address_ = address;
    return true;
}

bool TVantelStackDevice::PrepareConfigWrite()
{
    return SendInstruction(kPrepareConfigWrite, kConfigWriteTimeoutMs, {}, true);
}

bool TVantelStackDevice::WriteAddressEB(uint16_t word1, uint16_t word2, uint8_t address)
{
    const uint8_t old = address_;
    // While it runs the module may answer from the programming address.
    if (old < kProgrammingAddress && old != address)
        address_ = kProgrammingAddress;
    const std::string data = ByteText(address) + ByteText(static_cast<uint8_t>(word1 >> 8)) +
                             ByteText(static_cast<uint8_t>(word1)) + ByteText(static_cast<uint8_t>(word2 >> 8)) +
                             ByteText(static_cast<uint8_t>(word2));
    bool written = false;
    try {
        written = SendData(kWriteAddressBySerial, data, {}, old != kUnansweredAddress, -1);
    } catch (...) {
        address_ = old;
        throw;
    }
    address_ = written ? address : old;
    return written;
}

bool TVantelStackDevice::SendReceiveRaw(uint8_t instruction, const std::string& data, int32_t timeoutMs,
                                        uint8_t& acknowledge, std::string& reply)
{
    TVantelFormat97 record;
    if (!Exchange(instruction, data, {}, true, timeoutMs, record))
        return false;
    acknowledge = record.instruction;
    reply = record.data;
    return true;
}
