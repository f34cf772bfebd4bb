// The module itself: temperature, PWM, pulse rates, automatic messages, identification,
// address, user data, factory information, reset and the raw Vantel 97 exchange.
#include "api/IobrantApiFrame.h"
#include "iobrant.h"

#include <cmath>

namespace {

// Thermometer numbers one request byte carries, while the module's count is unknown.
constexpr int kAnyThermometers = 256;

} // namespace

extern "C" uint32_t Q_CALL qGetTemperature(Q_HANDLE handle, int32_t thermometer, int32_t* tenths)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(tenths);
        const int count = tarvo.IsTarvoIdentified() ? tarvo.ThermometerCount() : kAnyThermometers;
        const int number = NumberBelow(thermometer, count) - 1;
        double degrees = 0;
        if (!tarvo.GetTemperature(static_cast<uint8_t>(number), degrees))
            return Fail(kErrDataNotAvailable);
        WriteHost(tenths, static_cast<int32_t>(std::lround(degrees * 10)));
        return 0;
    });
}

extern "C" uint32_t Q_CALL qSetOutputPWM(Q_HANDLE handle, int32_t a, int32_t b)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        return tarvo.SetOutputPWM(RequiredByte(a), RequiredByte(b)) ? 0 : Fail(kErrActionFailed);
    });
}

extern "C" uint32_t Q_CALL qGetOutputPWM(Q_HANDLE handle, int32_t a, uint32_t* value)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(value);
        uint8_t read = 0;
        if (!tarvo.GetOutputPWM(RequiredByte(a), read))
            return Fail(kErrDataNotAvailable);
        WriteHost(value, read);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qGetInputPPS(Q_HANDLE handle, int32_t a, int32_t b, uint32_t* value)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(value);
        uint16_t read = 0;
        const bool done = tarvo.GetInputPPS(RequiredByte(a), RequiredByte(b), read);
        WriteHost(value, read);
        return done ? 0 : Fail(kErrDataNotAvailable);
    });
}

extern "C" uint32_t Q_CALL qSetAutoNotify(Q_HANDLE handle, int32_t on)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        return tarvo.SetAutoNotifyCached(on != 0 ? 1 : 0) ? 0 : Fail(kErrActionFailed);
    });
}

extern "C" uint32_t Q_CALL qGetAutoNotify(Q_HANDLE handle, Q_BOOL* on)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(on);
        bool read = false;
        if (!tarvo.GetAutoNotify(read))
            return Fail(kErrDataNotAvailable);
        PutBool(on, read);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qInfo(Q_HANDLE handle, char* buffer, int32_t* length)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(length);
        std::string text;
        if (!tarvo.GetIdentificationText(text))
            return Fail(kErrDataNotAvailable);
        return PutInfoText(text, buffer, length);
    });
}

extern "C" uint32_t Q_CALL qReset(Q_HANDLE handle)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t { return tarvo.Reset() ? 0 : Fail(kErrNoResponse); });
}

extern "C" uint32_t Q_CALL qGetAddress(Q_HANDLE handle, uint32_t* address)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(address);
        uint8_t read = 0;
        if (!tarvo.ReadAddress(read))
            return Fail(kErrNoResponse);
        WriteHost(address, read);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qSetAddress(Q_HANDLE handle, const uint32_t* address)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        const auto wanted = static_cast<uint8_t>(ReadHost(Required(address)) & 0xFF);
        return tarvo.WriteAddress(wanted) ? 0 : Fail(kErrNoResponse);
    });
}

extern "C" uint32_t Q_CALL qSetUserData(Q_HANDLE handle, const uint8_t* data, int32_t length)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        if (!data || length <= 0)
            return 0;
        return tarvo.SetUserData(HostBytes(data, length)) ? 0 : Fail(kErrActionFailed);
    });
}

extern "C" uint32_t Q_CALL qGetUserData(Q_HANDLE handle, uint8_t* buffer, int32_t* length)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(length);
        std::string data;
        if (!tarvo.GetUserData(data))
            return Fail(kErrDataNotAvailable);
        return PutData(data, buffer, length);
    });
}

extern "C" uint32_t Q_CALL qGetFactoryInfo(Q_HANDLE handle, uint32_t* word1, uint32_t* word2, uint32_t* value3)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        Required(word1);
        Required(word2);
        Required(value3);
        uint16_t first = 0;
        uint16_t second = 0;
        uint32_t third = 0;
        if (!tarvo.GetFactoryInfo(first, second, third))
            return Fail(kErrNoResponse);
        WriteHost(word1, first);
        WriteHost(word2, second);
        WriteHost(value3, third);
        return 0;
    });
}

extern "C" uint32_t Q_CALL qSndRcvVant97(Q_HANDLE handle, int32_t instruction, const uint8_t* data,
                                         int32_t dataLength, uint8_t* acknowledge, uint8_t* buffer, int32_t* length,
                                         int32_t timeoutMs)
{
    return QCallTarvo(handle, [&](ITarvo& tarvo) -> uint32_t {
        const uint8_t code = RequiredByte(instruction);
        RequiredWritable(acknowledge);
        RequiredWritable(length);
        if (dataLength < 0 || (dataLength > 0 && !data))
            RaiseCode(kErrInvalidParameters);
        const std::string request = HostBytes(data, dataLength);
        uint8_t answered = 0;
        std::string reply;
        if (!tarvo.SendReceiveRaw(code, request, timeoutMs, answered, reply))
            return Fail(kErrActionFailed);
        WriteHost(acknowledge, answered);
        return PutData(reply, buffer, length);
    });
}
