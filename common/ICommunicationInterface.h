#pragma once
// The one contract of a link, whatever carries it.
#include "InterfacedObject.h"
#include "Method.h"

#include <cstdint>
#include <string>

class TeventerCiNotify;
class TeventerCiNotifyChangeEvent;
struct ICommunicationInterface;

using TCiNotifyMethod = TMethod<ICommunicationInterface*>;
using TCiChangeEventMethod = TMethod<ICommunicationInterface*, int32_t, bool>;
// Returns 0 once the answer so far is complete.
using TStopTest = uint16_t (*)(const std::string& answerSoFar);

// {76A7FD53-30E9-4F5A-9B92-90AC61E19EA0}
inline constexpr GUID IID_ICommunicationInterfaceCore = {
    0x76A7FD53, 0x30E9, 0x4F5A, {0x9B, 0x92, 0x90, 0xAC, 0x61, 0xE1, 0x9E, 0xA0}};
// {A08B3416-51DC-4315-940D-D6110F114164}
inline constexpr GUID IID_ICommunicationInterface = {
    0xA08B3416, 0x51DC, 0x4315, {0x94, 0x0D, 0xD6, 0x11, 0x0F, 0x11, 0x41, 0x64}};

struct ICommunicationInterfaceCore : public virtual IUnknown {};

struct ICommunicationInterface : public ICommunicationInterfaceCore {
    virtual void SetOnDataReceived(TCiNotifyMethod method) = 0;
    virtual TCiNotifyMethod GetOnDataReceived() = 0;
    virtual TeventerCiNotify* DataReceivedEventer() = 0;
    virtual void SetActive(bool active) = 0;
    virtual bool IsActive() = 0;
    virtual bool Open() = 0;
    virtual bool Close() = 0;
    virtual int32_t Write(const std::string& bytes) = 0;
    virtual std::string Read() = 0;
    virtual int32_t ReadLength() = 0;
    virtual bool GetValid() = 0;
    virtual void SetValid(bool valid) = 0;
    virtual std::string GetID() = 0;
    virtual std::string GetDescription() = 0;
    virtual bool ExecuteConfigDialog() = 0;
    virtual bool ConfigDialogAvailable() = 0;
    virtual std::string GetConnectionString() = 0;
    virtual void SetConnectionString(const std::string& text) = 0;
    virtual TCiNotifyMethod GetOnOpen() = 0;
    virtual void SetOnOpen(TCiNotifyMethod method) = 0;
    virtual TeventerCiNotify* OpenEventer() = 0;
    virtual TCiNotifyMethod GetOnClose() = 0;
    virtual void SetOnClose(TCiNotifyMethod method) = 0;
    virtual TeventerCiNotify* CloseEventer() = 0;
    virtual TCiChangeEventMethod GetOnChangeEvent() = 0;
    virtual void SetOnChangeEvent(TCiChangeEventMethod method) = 0;
    virtual TeventerCiNotify* ConfigChangedEventer() = 0;
    virtual TeventerCiNotifyChangeEvent* ChangeEventEventer() = 0;
    // The answer is whatever arrived before the quiet gap or the stop test said enough.
    virtual std::string SendAndReceive(const std::string& request, uint32_t timeoutMs,
                                       TStopTest stopTest) = 0;
    // count < 0 takes everything; 0 takes nothing.
    virtual std::string ReadBuffered(int32_t count) = 0;
    virtual int32_t BufferedLength(bool pull) = 0;
    virtual std::string PeekBuffered(int32_t count) = 0;
    virtual double GetCharTime() = 0;
    virtual void BeforeExchange() = 0;
    virtual void BeforeExchange2() = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual bool GetAuxFlag() = 0;
    virtual void SetAuxFlag(bool flag) = 0;
};
