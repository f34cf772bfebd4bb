// The module's inputs and outputs: reads, writes, counts and the recent states.
#include "api/IobrantApiFrame.h"
#include "iobrant.h"

#include <vector>

namespace {

// The module's identity, or "Required data not available.".
void RequireInfo(ITarvo& tarvo)
{
    TTarvoInfo info;
    if (!tarvo.GetInfo(info))
        RaiseCode(kErrDataNotAvailable);
}

using TRead = bool (ITarvo::*)(TTarvoIOArray&, bool);
using TCount = int (ITarvo::*)();
using TRecentArray = int (ITarvo::*)(TTarvoIOArray&);
using TRecentOne = bool (ITarvo::*)(int, bool&);

uint32_t GetStates(Q_HANDLE handle, uint8_t* buffer, int32_t* count, TRead read)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(count);
        RequireInfo(tarvo);
        TTarvoIOArray states;
        if (!(tarvo.*read)(states, true))
            return Fail(kErrNoResponse);
        return PutStates(states, buffer, count);
    });
}

uint32_t GetStateByIndex(Q_HANDLE handle, int32_t index, Q_BOOL* state, TRead read, TCount count)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(state);
        RequireInfo(tarvo);
        const int number = NumberBelow(index, (tarvo.*count)());
        TTarvoIOArray states;
        if (!(tarvo.*read)(states, true) || static_cast<size_t>(number) > states.size())
            return Fail(kErrNoResponse);
        PutBool(state, states[static_cast<size_t>(number - 1)]);
        return 0;
    });
}

int32_t CountOf(Q_HANDLE handle, TCount count)
{
    return QCallTarvoValue(handle, -1, [&](ITarvo& tarvo) -> int32_t {
        RequireInfo(tarvo);
        return (tarvo.*count)();
    });
}

uint32_t GetRecentStates(Q_HANDLE handle, uint8_t* buffer, int32_t* count, TRecentArray recent)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(count);
        TTarvoIOArray states;
        if ((tarvo.*recent)(states) == 0)
            return Fail(kErrDataNotAvailable);
        return PutStates(states, buffer, count);
    });
}

uint32_t GetRecentByIndex(Q_HANDLE handle, int32_t index, Q_BOOL* state, TRecentOne recent, TCount count)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(state);
        bool known = false;
        if (!(tarvo.*recent)(NumberBelow(index, (tarvo.*count)()), known))
            return Fail(kErrDataNotAvailable);
        PutBool(state, known);
        return 0;
    });
}

} // namespace

extern "C" uint32_t Q_CALL qGetInputs(Q_HANDLE handle, uint8_t* buffer, int32_t* count)
{
    return GetStates(handle, buffer, count, &ITarvo::GetInputs);
}

extern "C" uint32_t Q_CALL qGetOutputs(Q_HANDLE handle, uint8_t* buffer, int32_t* count)
{
    return GetStates(handle, buffer, count, &ITarvo::GetOutputs);
}

extern "C" uint32_t Q_CALL qInputStateByIndex(Q_HANDLE handle, int32_t index, Q_BOOL* state)
{
    return GetStateByIndex(handle, index, state, &ITarvo::GetInputs, &ITarvo::InputCount);
}

extern "C" uint32_t Q_CALL qOutputStateByIndex(Q_HANDLE handle, int32_t index, Q_BOOL* state)
{
    return GetStateByIndex(handle, index, state, &ITarvo::GetOutputs, &ITarvo::OutputCount);
}

extern "C" int32_t Q_CALL qInputsCount(Q_HANDLE handle)
{
    return CountOf(handle, &ITarvo::InputCount);
}

extern "C" int32_t Q_CALL qOutputsCount(Q_HANDLE handle)
{
    return CountOf(handle, &ITarvo::OutputCount);
}

extern "C" uint32_t Q_CALL qSetOutputs(Q_HANDLE handle, uint8_t* states, int32_t count)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(states);
        RequireInfo(tarvo);
        const int outputs = tarvo.OutputCount();
        if (outputs == 0)
            return Fail(kErrDataNotAvailable);
        if (count < outputs)
            return Fail(kErrBufferTooSmall);
        const std::string given = HostBytes(states, outputs);
        TTarvoIOArray wanted(given.size());
        for (size_t index = 0; index < wanted.size(); ++index)
            wanted[index] = given[index] != 0;
        if (!tarvo.SetOutputs(wanted, true))
            return Fail(kErrNoResponse);
        const std::vector<uint8_t> set(wanted.begin(), wanted.end());
        CopyToHost(states, set.data(), set.size());
        return 0;
    });
}

extern "C" uint32_t Q_CALL qSetOutput(Q_HANDLE handle, int32_t index, int32_t state)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        return tarvo.SetOutput(OutputNumber(tarvo, index), state != 0, true, 0) ? 0 : Fail(kErrActionFailed);
    });
}

extern "C" uint32_t Q_CALL qSetOutputTimered(Q_HANDLE handle, int32_t index, int32_t state, int32_t time)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        const uint8_t ticks = RequiredByte(time);
        const int number = OutputNumber(tarvo, index);
        return tarvo.SetOutput(number, state != 0, true, ticks) ? 0 : Fail(kErrActionFailed);
    });
}

extern "C" uint32_t Q_CALL qGetRecentInputsState(Q_HANDLE handle, uint8_t* buffer, int32_t* count)
{
    return GetRecentStates(handle, buffer, count, &ITarvo::GetRecentInputs);
}

extern "C" uint32_t Q_CALL qGetRecentOutputsState(Q_HANDLE handle, uint8_t* buffer, int32_t* count)
{
    return GetRecentStates(handle, buffer, count, &ITarvo::GetRecentOutputs);
}

extern "C" uint32_t Q_CALL qGetRecentInputByIndex(Q_HANDLE handle, int32_t index, Q_BOOL* state)
{
    return GetRecentByIndex(handle, index, state, &ITarvo::GetRecentInput, &ITarvo::InputCount);
}

extern "C" uint32_t Q_CALL qGetRecentOutputByIndex(Q_HANDLE handle, int32_t index, Q_BOOL* state)
{
    return GetRecentByIndex(handle, index, state, &ITarvo::GetRecentOutput, &ITarvo::OutputCount);
}

extern "C" uint32_t Q_CALL qRefreshRecentStates(Q_HANDLE handle, int32_t inputs, int32_t outputs, int32_t counters,
                                                int32_t counterSettings)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        return tarvo.RefreshStates(outputs != 0, inputs != 0, counters != 0, counterSettings != 0)
                   ? 0
                   : Fail(kErrActionFailed);
    });
}
