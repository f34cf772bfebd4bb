#pragma once
// A serial port as a configurable object: named settings translated into the device
// control block, and events fired on the thread that owns the component (the engine's
// reports travel there through the cross-thread dispatch).
#include "ConduvexError.h"
#include "Method.h"
#include "serial/ScComPortCore.h"
#include "serial/ScPortSettings.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

// Every error of the component: "<message> - <component name> ".
class EScComPortError : public EConduvexError {
public:
    EScComPortError(const std::string& message, const std::string& componentName);
};

enum class TScModemLine : uint8_t { mlCTS = 1, mlDSR, mlRING, mlRLSD };

class TScComPort;
using TScNotifyEvent = TMethod<TScComPort*>;
using TScCountEvent = TMethod<TScComPort*, uint32_t>;
using TScPortCoreEvent = TMethod<TScComPort*, TScCoreEvent, uint32_t>;
using TScFaultEvent = TMethod<TScComPort*, std::exception_ptr>;

class TScComPort {
public:
    static constexpr uint32_t kDefaultInBufSize = 4096;
    static constexpr uint32_t kDefaultOutBufSize = 2048;
    // How long a report may wait for the owning thread before it is dropped.
    static constexpr uint32_t kSyncCallTimeoutMs = 2000;

    TScComPort();
    ~TScComPort();
    TScComPort(const TScComPort&) = delete;
    TScComPort& operator=(const TScComPort&) = delete;

    // Opening errors of the engine propagate unchanged and leave the port closed.
    void Open();
    // Also takes away what is left of a port whose engine failed; the close is announced
    // unless the failure was (OnPortFailed).
    void Close();
    bool Active() const { return core_->Opened() && !core_->Failed(); }
    // A worker of the engine ended with an exception: the port is no longer active, and what
    // is left of it goes at Close.
    bool Failed() const { return core_->Failed(); }
    HANDLE Handle() const { return core_->Handle(); }

    void WriteData(const void* buffer, uint32_t count);
    void WriteString(const std::string& text);
    void ReadData(void* buffer, uint32_t count);
    // Every byte waiting in the device's input queue.
    std::string ReadString();
    uint32_t InBufUsed();
    // Returns once input arrived or maxMs passed; false, at once, when not open.
    bool AwaitInput(uint32_t maxMs);
    uint32_t OutBufFree();
    void PurgeRx();
    void PurgeTx();
    bool ModemLine(TScModemLine line);

    const DCB& GetDCB() const { return dcb_; }
    void SetDCB(const DCB& dcb);
    // The platform's configuration dialog; true when the user accepted (its DCB then applies).
    bool ExecuteConfigDialog();

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    TScBaudrate BaudRate() const { return settings_.baudRate; }
    void SetBaudRate(TScBaudrate rate);
    uint32_t UserBaudRate() const { return settings_.userBaudRate; }
    void SetUserBaudRate(uint32_t rate);
    uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(uint16_t number);
    TScDatabits Databits() const { return settings_.databits; }
    void SetDatabits(TScDatabits databits);
    TScParity Parity() const { return settings_.parity; }
    void SetParity(TScParity parity);
    TScStopbits Stopbits() const { return settings_.stopbits; }
    void SetStopbits(TScStopbits stopbits);
    TScFlowControl FlowControl() const { return settings_.flowControl; }
    void SetFlowControl(TScFlowControl flowControl);
    TScComOptions Options() const { return settings_.options; }
    void SetOptions(TScComOptions options);
    bool DTR() const { return settings_.dtr; }
    void SetDTR(bool on);
    bool RTS() const { return settings_.rts; }
    void SetRTS(bool on);
    char XOnChar() const { return settings_.xonChar; }
    void SetXOnChar(char value);
    char XOffChar() const { return settings_.xoffChar; }
    void SetXOffChar(char value);
    uint16_t XOnLim() const { return settings_.xonLim; }
    void SetXOnLim(uint16_t value);
    uint16_t XOffLim() const { return settings_.xoffLim; }
    void SetXOffLim(uint16_t value);
    uint32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(uint32_t size);
    uint32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(uint32_t size);
    TScThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(TScThreadPriority priority) { eventThreadPriority_ = priority; }
    TScThreadPriority WriteThreadPriority() const { return writeThreadPriority_; }
    void SetWriteThreadPriority(TScThreadPriority priority) { writeThreadPriority_ = priority; }

    // The engine's callback (runs on its event thread); public so that a report can be
    // played in as the engine would make it.
    void HandlePortEvent(TScComPortCore* core, const TScCoreEventRecord& record);

    TScNotifyEvent OnCTSChanged;
    TScNotifyEvent OnDSRChanged;
    TScNotifyEvent OnRLSDChanged;
    TScNotifyEvent OnRINGDetected;
    TScNotifyEvent OnOutBufFree;
    TScNotifyEvent OnPortOpen;
    TScNotifyEvent OnPortClose;
    // On the owning thread: a worker of the engine ended with the exception; the port counts
    // as closed from then on.
    TScFaultEvent OnPortFailed;
    TScCountEvent OnDataRecived;
    TScCountEvent OnLineError;
    // On the owning thread, before the specific event.
    TScPortCoreEvent OnSyncEvent;
    // On the engine's event thread; when set it replaces the delivery of every report but
    // exceptions.
    TScPortCoreEvent OnNonSyncEvent;

private:
    void HandleSyncEvent(int32_t entryIndex, const void* record);
    void HandleLineEvent(uint32_t mask);
    void RebuildDcb();
    void SetDefaultXLimits();
    void ChangeLine(bool& line, bool on, uint32_t setFunction, uint32_t clearFunction);
    void RequireClosed() const;
    [[noreturn]] void Fail(const std::string& message) const;
    template <class T>
    void ChangeSetting(T& field, T value);

    std::string name_;
    TScPortSettings settings_;
    uint16_t comNumber_ = 0;
    uint32_t inBufSize_ = kDefaultInBufSize;
    uint32_t outBufSize_ = kDefaultOutBufSize;
    TScThreadPriority eventThreadPriority_ = TScThreadPriority::tpNormal;
    TScThreadPriority writeThreadPriority_ = TScThreadPriority::tpHighest;
    DCB dcb_{};
    std::atomic<bool> closing_{false};
    std::atomic<bool> destroying_{false};
    // OnPortFailed fired since the last open: the close was announced then.
    std::atomic<bool> failureAnnounced_{false};
    uint32_t syncId_ = 0;
    std::unique_ptr<TScComPortCore> core_;
};

// The rate a component reports: its table rate, or the user rate for brUser.
uint32_t ComPortBaudValue(const TScComPort& port);
