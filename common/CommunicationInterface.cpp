#include "CommunicationInterface.h"

#include "DiagnosticTrace.h"
#include "LastError.h"
#include "Ticks.h"

#include <cmath>
#include <limits>

namespace {

// Milliseconds as a tick span, rounded up; saturates instead of wrapping.
uint32_t CeilSpan(double ms)
{
    if (!(ms > 0))
        return 0;
    const double rounded = std::ceil(ms);
    if (rounded >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(rounded);
}

uint32_t SaturatingAdd(uint32_t a, uint32_t b)
{
    const uint32_t sum = a + b;
    return sum < a ? std::numeric_limits<uint32_t>::max() : sum;
}

// Runs an announcement; whatever it throws stays here. A listener may release the last
// reference to the link (a host closing its handle from a callback): the announcement
// keeps the link alive until it is done with it.
template <class Body>
void Announce(TCommunicationInterface* link, Body body)
{
    const TIntfPtr<TCommunicationInterface> keepAlive(link);
    try {
        body();
    } catch (...) {
        // An announcement never fails the operation that made it.
    }
}

} // namespace

TCommunicationInterface::~TCommunicationInterface() = default;

void* TCommunicationInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_ICommunicationInterface))
        return static_cast<ICommunicationInterface*>(this);
    if (IsEqualIID(iid, IID_ICommunicationInterfaceCore))
        return static_cast<ICommunicationInterfaceCore*>(this);
    if (IsEqualIID(iid, IID_ILinkArrival))
        return static_cast<ILinkArrival*>(this);
    return TNodedInterface::FindInterface(iid);
}

template <class EventerT>
EventerT* TCommunicationInterface::LazyEventer(std::unique_ptr<EventerT>& slot)
{
    TLockGuard guard(eventerCreation_);
    if (!slot)
        slot = std::make_unique<EventerT>();
    return slot.get();
}

template <class EventerT>
EventerT* TCommunicationInterface::ExistingEventer(const std::unique_ptr<EventerT>& slot)
{
    TLockGuard guard(eventerCreation_);
    return slot.get();
}

TeventerCiNotify* TCommunicationInterface::DataReceivedEventer()
{
    return LazyEventer(dataReceivedEventer_);
}

TeventerCiNotify* TCommunicationInterface::OpenEventer()
{
    return LazyEventer(openEventer_);
}

TeventerCiNotify* TCommunicationInterface::CloseEventer()
{
    return LazyEventer(closeEventer_);
}

TeventerCiNotify* TCommunicationInterface::ConfigChangedEventer()
{
    return LazyEventer(configChangedEventer_);
}

TeventerCiNotifyChangeEvent* TCommunicationInterface::ChangeEventEventer()
{
    return LazyEventer(changeEventEventer_);
}

void TCommunicationInterface::SetOnDataReceived(TCiNotifyMethod method)
{
    onDataReceived_ = method;
}

TCiNotifyMethod TCommunicationInterface::GetOnDataReceived()
{
    return onDataReceived_;
}

TCiNotifyMethod TCommunicationInterface::GetOnOpen()
{
    return onOpen_;
}

void TCommunicationInterface::SetOnOpen(TCiNotifyMethod method)
{
    onOpen_ = method;
}

TCiNotifyMethod TCommunicationInterface::GetOnClose()
{
    return onClose_;
}

void TCommunicationInterface::SetOnClose(TCiNotifyMethod method)
{
    onClose_ = method;
}

TCiChangeEventMethod TCommunicationInterface::GetOnChangeEvent()
{
    return onChangeEvent_;
}

void TCommunicationInterface::SetOnChangeEvent(TCiChangeEventMethod method)
{
    onChangeEvent_ = method;
}

void TCommunicationInterface::DoDataReceived(ICommunicationInterface* sender)
{
    Announce(this, [&] {
        if (!sender)
            sender = this;
        if (onDataReceived_)
            onDataReceived_(sender);
        if (auto* eventer = ExistingEventer(dataReceivedEventer_))
            eventer->Fire(sender);
    });
}

void TCommunicationInterface::DoOpen()
{
    Announce(this, [&] {
        if (auto* eventer = ExistingEventer(openEventer_))
            eventer->Fire(this);
        if (onOpen_)
            onOpen_(this);
    });
}

void TCommunicationInterface::DoClose()
{
    Announce(this, [&] {
        if (auto* eventer = ExistingEventer(closeEventer_))
            eventer->Fire(this);
        if (onClose_)
            onClose_(this);
    });
}

void TCommunicationInterface::DoConfigChanged()
{
    Announce(this, [&] {
        if (auto* eventer = ExistingEventer(configChangedEventer_))
            eventer->Fire(this);
    });
}

void TCommunicationInterface::DoChangeEvent(int32_t code, bool state)
{
    Announce(this, [&] {
        if (auto* eventer = ExistingEventer(changeEventEventer_))
            eventer->Fire(this, code, state);
        if (onChangeEvent_)
            onChangeEvent_(this, code, state);
    });
}

void TCommunicationInterface::AnnounceFaultClose(std::exception_ptr fault)
{
    SetExceptionError(fault);
    DoClose();
}

void TCommunicationInterface::SetActive(bool active)
{
    if (IsActive() == active)
        return;
    if (active)
        Open();
    else
        Close();
}

bool TCommunicationInterface::Open()
{
    charTime_ = 10.0;
    return false;
}

bool TCommunicationInterface::Close()
{
    return false;
}

std::string TCommunicationInterface::Read()
{
    return {};
}

bool TCommunicationInterface::GetValid()
{
    return valid_;
}

void TCommunicationInterface::SetValid(bool valid)
{
    valid_ = valid;
}

std::string TCommunicationInterface::GetDescription()
{
    return GetID();
}

bool TCommunicationInterface::ExecuteConfigDialog()
{
    return false;
}

bool TCommunicationInterface::ConfigDialogAvailable()
{
    return false;
}

std::string TCommunicationInterface::GetConnectionString()
{
    return {};
}

void TCommunicationInterface::SetConnectionString(const std::string&)
{
    DoConfigChanged();
}

std::string TCommunicationInterface::SendAndReceive(const std::string& request, uint32_t timeoutMs,
                                                    TStopTest stopTest)
{
    std::string answer;
    TLockGuard guard(exchangeLock_);
    if (!IsActive())
        return answer;
    const TAnswerWaitScope answerWait(this);
    BeforeExchange();
    BeforeExchange2();
    if (!answerWait.ReceiveReady())
        YieldOnce();
    Write(request);

    const uint32_t firstSpan =
        SaturatingAdd(timeoutMs, CeilSpan((static_cast<double>(request.size()) + 5) * charTime_));
    const uint32_t quietSpan = SaturatingAdd(CeilSpan(charTime_ * 10), 50);
    TTickDeadline deadline(Now(), firstSpan);
    for (;;) {
        AwaitArrival(deadline.UntilPassed(Now()));
        if (ReadLength() != 0) {
            answer += Read();
            deadline.Restart(Now(), quietSpan);
        }
        if (deadline.Passed(Now()))
            break;
        if (stopTest && stopTest(answer) == 0)
            break;
    }
    return answer;
}

std::string TCommunicationInterface::ReadWaiting()
{
    return ReadLength() != 0 ? Read() : std::string();
}

void TCommunicationInterface::PullIntoBuffer()
{
    buffer_ += ReadWaiting();
}

std::string TCommunicationInterface::TakeBuffered(int32_t count, bool remove)
{
    // A count the read-ahead already holds needs no look at the link, which on a socket
    // costs a call into the system; what waits there stays counted by ReadLength.
    if (count <= 0 || static_cast<size_t>(count) > buffer_.size())
        PullIntoBuffer();
    if (count < 0 || static_cast<size_t>(count) >= buffer_.size()) {
        std::string all = buffer_;
        if (remove)
            buffer_.clear();
        return all;
    }
    std::string head = buffer_.substr(0, static_cast<size_t>(count));
    if (remove)
        buffer_.erase(0, static_cast<size_t>(count));
    return head;
}

std::string TCommunicationInterface::ReadBuffered(int32_t count)
{
    return TakeBuffered(count, true);
}

std::string TCommunicationInterface::PeekBuffered(int32_t count)
{
    return TakeBuffered(count, false);
}

int32_t TCommunicationInterface::BufferedLength(bool pull)
{
    if (pull)
        PullIntoBuffer();
    return static_cast<int32_t>(buffer_.size());
}

double TCommunicationInterface::GetCharTime()
{
    return charTime_;
}

void TCommunicationInterface::BeforeExchange() {}

void TCommunicationInterface::BeforeExchange2() {}

void TCommunicationInterface::Lock()
{
    exchangeLock_.Enter();
}

void TCommunicationInterface::Unlock()
{
    exchangeLock_.Leave();
}

bool TCommunicationInterface::GetAuxFlag()
{
    return auxFlag_;
}

void TCommunicationInterface::SetAuxFlag(bool flag)
{
    auxFlag_ = flag;
}

void TCommunicationInterface::LoadFromXML(IXmlElement* element, bool store)
{
    TNodedInterface::LoadFromXML(element, store);
    if (!element)
        return;
    if (const auto text = element->GetAttribute("connectionstring"))
        SetConnectionString(*text);
}

void TCommunicationInterface::SaveToXML()
{
    TNodedInterface::SaveToXML();
    if (const auto element = GetXMLNode())
        element->SetAttribute("connectionstring", GetConnectionString());
}

void TCommunicationInterface::Trace(uint8_t kind, const std::string& bytes)
{
    if (const TTraceHook hook = GetTraceHook())
        hook(this, bytes, kind);
}

uint32_t TCommunicationInterface::Now()
{
    return GetTickCount();
}

void TCommunicationInterface::YieldOnce()
{
    Sleep(0);
}

void TCommunicationInterface::AwaitArrival(uint32_t maxMs)
{
    constexpr DWORD kPollStepMs = 1;
    if (!WaitForNewBytes(maxMs == 0 ? 1 : maxMs))
        Sleep(kPollStepMs);
}

bool TCommunicationInterface::BeginAnswerWait()
{
    return false;
}

void TCommunicationInterface::EndAnswerWait() {}

bool TCommunicationInterface::WaitForNewBytes(uint32_t)
{
    return false;
}
