// The module's counters and their settings.
#include "api/IobrantApiFrame.h"
#include "iobrant.h"

extern "C" int32_t Q_CALL qInputCountersCount(Q_HANDLE handle)
{
    return QCallTarvoValue(handle, -1, [&](ITarvo& tarvo) -> int32_t {
        TTarvoInfo info;
        if (!tarvo.GetInfo(info)) {
            Fail(kErrDataNotAvailable);
            return -1;
        }
        return tarvo.CounterCount();
    });
}

extern "C" uint32_t Q_CALL qInputCounterValueByIndex(Q_HANDLE handle, int32_t index, uint32_t* value, int32_t clear)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        RequiredWritable(value);
        uint32_t read = 0;
        if (!tarvo.GetCounter(CounterNumber(tarvo, index), read, clear != 0))
            return Fail(kErrDataNotAvailable);
        WriteHost(value, read);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qGetRecentInputCounterByIndex(Q_HANDLE handle, int32_t index, uint32_t* value)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(value);
        const int number = NumberBelow(index, tarvo.CounterCount());
        uint32_t recent = 0;
        if (!tarvo.GetRecentCounter(number, recent))
            return Fail(kErrDataNotAvailable);
        WriteHost(value, recent);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qGetRecentCounterSettingByIndex(Q_HANDLE handle, int32_t index, Q_BOOL* optionA,
                                                           Q_BOOL* optionB)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(optionA);
        Required(optionB);
        const int number = NumberBelow(index, tarvo.CounterCount());
        bool a = false;
        bool b = false;
        if (!tarvo.GetRecentCounterSetting(number, a, b))
            return Fail(kErrDataNotAvailable);
        PutBool(optionA, a);
        PutBool(optionB, b);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qSetCounterSetting(Q_HANDLE handle, int32_t index, int32_t optionA, int32_t optionB)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        const int number = CounterNumber(tarvo, index);
        return tarvo.SetCounterSetting(number, optionA != 0, optionB != 0) ? 0 : Fail(kErrActionFailed);
    });
}

extern "C" uint32_t Q_CALL qGetCounterSetting(Q_HANDLE handle, int32_t index, Q_BOOL* optionA, Q_BOOL* optionB)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(optionA);
        Required(optionB);
        bool a = false;
        bool b = false;
        if (!tarvo.GetCounterSetting(CounterNumber(tarvo, index), a, b))
            return Fail(kErrDataNotAvailable);
        PutBool(optionA, a);
        PutBool(optionB, b);
        return 0;
    });
}
