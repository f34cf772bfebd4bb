#pragma once
// Abstract base of every link: events, the exchange lock, the read-ahead buffer and the
// locked send-and-wait exchange. Providers fill in the transport (IsActive, Write, Read,
// ReadLength, GetID) and announce opening, closing and arrivals through the Do* calls.
#include "CiEventers.h"
#include "CriticalSection.h"
#include "ICommunicationInterface.h"
#include "ILinkArrival.h"
#include "NodedInterface.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

class TCommunicationInterface : public TNodedInterface,
                                public virtual ICommunicationInterface,
                                public virtual ILinkArrival {
public:
    void SetOnDataReceived(TCiNotifyMethod method) override;
    TCiNotifyMethod GetOnDataReceived() override;
    TeventerCiNotify* DataReceivedEventer() override;
    void SetActive(bool active) override;
    bool IsActive() override = 0;
    // Base: character time := 10 ms, returns false. Providers open, then DoOpen.
    bool Open() override;
    // Base: returns false. Providers close, then DoClose.
    bool Close() override;
    int32_t Write(const std::string& bytes) override = 0;
    std::string Read() override;
    int32_t ReadLength() override = 0;
    bool GetValid() override;
    void SetValid(bool valid) override;
    std::string GetID() override = 0;
    std::string GetDescription() override;
    bool ExecuteConfigDialog() override;
    bool ConfigDialogAvailable() override;
    std::string GetConnectionString() override;
    // Base: only announces the configuration change; providers parse first.
    void SetConnectionString(const std::string& text) override;
    TCiNotifyMethod GetOnOpen() override;
    void SetOnOpen(TCiNotifyMethod method) override;
    TeventerCiNotify* OpenEventer() override;
    TCiNotifyMethod GetOnClose() override;
    void SetOnClose(TCiNotifyMethod method) override;
    TeventerCiNotify* CloseEventer() override;
    TCiChangeEventMethod GetOnChangeEvent() override;
    void SetOnChangeEvent(TCiChangeEventMethod method) override;
    TeventerCiNotify* ConfigChangedEventer() override;
    TeventerCiNotifyChangeEvent* ChangeEventEventer() override;
    std::string SendAndReceive(const std::string& request, uint32_t timeoutMs,
                               TStopTest stopTest) override;
    std::string ReadBuffered(int32_t count) override;
    int32_t BufferedLength(bool pull) override;
    std::string PeekBuffered(int32_t count) override;
    double GetCharTime() override;
    void BeforeExchange() override;
    void BeforeExchange2() override;
    void Lock() override;
    void Unlock() override;
    bool GetAuxFlag() override;
    void SetAuxFlag(bool flag) override;
    // Waits through WaitForNewBytes; where the transport cannot wait, sleeps one 1 ms poll
    // step (the caller looks before and after). A maxMs of 0 counts as 1, so that no
    // caller can spin.
    void AwaitArrival(uint32_t maxMs) override;
    // Base: nothing to prepare (false) or finish.
    bool BeginAnswerWait() override;
    void EndAnswerWait() override;

    // The node's load, then "connectionstring" when the element has it.
    void LoadFromXML(IXmlElement* element, bool store) override;
    // The node's save, then "connectionstring" into a bound element.
    void SaveToXML() override;

protected:
    // Inactive, no name, character time 0. A provider built from a connection string
    // calls its own SetConnectionString from its constructor; one built from an element
    // calls InitNode(element, parent) from its constructor.
    TCommunicationInterface() = default;
    ~TCommunicationInterface() override;

    void* FindInterface(REFIID iid) override;

    // Announcers. None of them ever throws: a failing subscriber or method is ignored.
    // OnDataReceived, then the data-received eventer; a nil sender means this link.
    void DoDataReceived(ICommunicationInterface* sender = nullptr);
    // The opened eventer, then OnOpen.
    void DoOpen();
    // The closed eventer, then OnClose.
    void DoClose();
    // The configuration-changed eventer.
    void DoConfigChanged();
    // The change-event eventer, then OnChangeEvent.
    void DoChangeEvent(int32_t code, bool state);
    // A thread or window procedure of the link ended with the exception and the link counts as
    // closed: the exception goes into the last error, then the closed eventer fires and OnClose.
    void AnnounceFaultClose(std::exception_ptr fault);

    // Providers call it with kind 1 for every buffer written and kind 2 for every one read.
    virtual void Trace(uint8_t kind, const std::string& bytes);

    void SetCharTime(double msPerChar) { charTime_ = msPerChar; }

    // Returns at once when bytes wait to be read, else waits up to maxMs (at least 1) for
    // the transport to report new ones, returning early when they come; false, without
    // waiting, when the transport cannot tell.
    virtual bool WaitForNewBytes(uint32_t maxMs);

    // What the read-ahead buffer pulls in: Read when ReadLength is not 0. A provider that
    // can tell more cheaply whether bytes wait may take them in its own way.
    virtual std::string ReadWaiting();

    // Clock and the processor yield before the request of SendAndReceive; tests replace
    // them (and AwaitArrival).
    virtual uint32_t Now();
    virtual void YieldOnce();

private:
    template <class EventerT>
    EventerT* LazyEventer(std::unique_ptr<EventerT>& slot);
    template <class EventerT>
    EventerT* ExistingEventer(const std::unique_ptr<EventerT>& slot);
    std::string TakeBuffered(int32_t count, bool remove);
    void PullIntoBuffer();

    TCiNotifyMethod onDataReceived_;
    TCiNotifyMethod onOpen_;
    TCiNotifyMethod onClose_;
    TCiChangeEventMethod onChangeEvent_;
    TCriticalSection eventerCreation_;
    std::unique_ptr<TeventerCiNotify> openEventer_;
    std::unique_ptr<TeventerCiNotify> closeEventer_;
    std::unique_ptr<TeventerCiNotify> dataReceivedEventer_;
    std::unique_ptr<TeventerCiNotifyChangeEvent> changeEventEventer_;
    std::unique_ptr<TeventerCiNotify> configChangedEventer_;
    TCriticalSection exchangeLock_;
    std::string buffer_;
    bool valid_ = false;
    bool auxFlag_ = false;
    double charTime_ = 0.0;
};
