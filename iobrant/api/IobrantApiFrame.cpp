#include "api/IobrantApiFrame.h"

#include "tarvo/Tarvo.h"

#include <vector>

namespace {

// Indexes accepted while the module's counts are unknown.
constexpr int kAnyOutputs = TTarvo::kMaxOutputNumber;
constexpr int kAnyCounters = TTarvo::kMaxCounters;

} // namespace

uint32_t Fail(uint32_t code)
{
    IobrantSetLastError(code);
    return code;
}

void RaiseCode(uint32_t code)
{
    throw EConduvexError(std::string(ResultCodeText(code)), code);
}

uint32_t ReportCaughtException() noexcept
{
    try {
        throw;
    } catch (const EConduvexError& error) {
        IobrantSetLastError(error.Code(), error.what());
        return error.Code();
    } catch (const std::exception& error) {
        IobrantSetLastError(kErrException, error.what());
    } catch (...) {
        IobrantSetLastError(kErrException);
    }
    return kErrException;
}

uint8_t RequiredByte(int32_t value)
{
    if (value < 0 || value > 255)
        RaiseCode(kErrInvalidParameters);
    return static_cast<uint8_t>(value);
}

int NumberBelow(int32_t index, int count)
{
    if (index < 0 || index >= count)
        RaiseCode(kErrIndexOutOfBand);
    return index + 1;
}

int OutputNumber(ITarvo& tarvo, int32_t index)
{
    return NumberBelow(index, tarvo.IsTarvoIdentified() ? tarvo.OutputCount() : kAnyOutputs);
}

int CounterNumber(ITarvo& tarvo, int32_t index)
{
    return NumberBelow(index, tarvo.IsTarvoIdentified() ? tarvo.CounterCount() : kAnyCounters);
}

TIntfPtr<ITarvo> RequireTarvo(uint32_t handle)
{
    TIntfPtr<ITarvo> tarvo = TarvoHandles().TarvoByHandle(handle);
    if (!tarvo)
        RaiseCode(kErrInvalidHandle);
    return tarvo;
}

uint32_t PutStates(const TTarvoIOArray& states, uint8_t* buffer, int32_t* count)
{
    const int32_t room = ReadHost(Required(count));
    const auto needed = static_cast<int32_t>(states.size());
    if (buffer && room < needed)
        return Fail(kErrBufferTooSmall);
    if (buffer) {
        const std::vector<uint8_t> bytes(states.begin(), states.end());
        CopyToHost(buffer, bytes.data(), bytes.size());
    }
    WriteHost(count, needed);
    return 0;
}

uint32_t PutData(const std::string& data, uint8_t* buffer, int32_t* length)
{
    const int32_t given = ReadHost(Required(length));
    WriteHost(length, static_cast<int32_t>(data.size()));
    if (!buffer)
        return 0;
    if (given < static_cast<int32_t>(data.size()))
        return Fail(kErrBufferTooSmall);
    CopyToHost(buffer, data.data(), data.size());
    return 0;
}

uint32_t PutInfoText(const std::string& text, char* buffer, int32_t* length)
{
    const int32_t room = ReadHost(Required(length));
    const auto needed = static_cast<int32_t>(text.size() + 1);
    if (!buffer) {
        WriteHost(length, needed);
        return 0;
    }
    if (room < needed)
        return Fail(kErrBufferTooSmall);
    CopyToHost(buffer, text.c_str(), text.size() + 1);
    WriteHost(length, needed - 1);
    return 0;
}

uint32_t PutLibraryText(const std::string& text, char* buffer, int32_t* length)
{
    const int32_t given = ReadHost(Required(length));
    const auto needed = static_cast<int32_t>(text.size() + 1);
    if (!buffer || given < needed) {
        WriteHost(length, needed);
        return buffer ? Fail(kErrBufferTooSmall) : 0;
    }
    CopyToHost(buffer, text.c_str(), text.size() + 1);
    WriteHost(length, needed - 1);
    return 0;
}

void PutBool(int32_t* out, bool value)
{
    WriteHost(Required(out), value ? kQTrue : kQFalse);
}
