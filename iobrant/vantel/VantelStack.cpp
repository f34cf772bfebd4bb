#include "vantel/VantelStack.h"

#include "ConduvexError.h"
#include "binding/ForwardedError.h"
#include "Ticks.h"

#include <cmath>
#include <limits>

namespace {

constexpr const char* kOwnerMustBeLink = "IVantelStack Owner can be only ICommunicationInterface";
// Characters of slack for the first wait, and of quiet gap after each arrival.
constexpr double kFirstWaitChars = 15;
constexpr double kGapChars = 15;
constexpr uint32_t kGapMs = 50;
constexpr uint8_t kFirstUnsolicited = 12;
constexpr uint8_t kLastUnsolicited = 15;

// Milliseconds rounded up, saturating rather than wrapping.
uint32_t CeilMs(double ms)
{
    if (!(ms > 0))
        return 0;
    const double rounded = std::ceil(ms);
    return rounded >= std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                           : static_cast<uint32_t>(rounded);
}

uint32_t SaturatingAdd(uint32_t a, uint32_t b)
{
    return a + b < a ? std::numeric_limits<uint32_t>::max() : a + b;
}

// A good frame answers the request when it carries its signature and, unless the request
// went to the broadcast address, its address. A module's unsolicited frame (codes 12 to
// 15) never answers anything, whatever its signature.
bool AnswersRequest(const std::string& frame, uint8_t address, uint8_t signature)
{
    const auto byteAt = [&](size_t index) { return static_cast<uint8_t>(frame[index]); };
    const uint8_t code = byteAt(6);
    return byteAt(5) == signature && (address == kVantelBroadcast || byteAt(4) == address) &&
           !(code >= kFirstUnsolicited && code <= kLastUnsolicited);
}

bool ReachesDevice(uint8_t deviceAddress, uint8_t frameAddress)
{
    return deviceAddress == frameAddress || frameAddress == kVantelBroadcast || deviceAddress == kVantelBroadcast;
}

// The link's exchange lock for a scope.
class TLinkLock {
public:
    explicit TLinkLock(ICommunicationInterface& link) : link_(link) { link_.Lock(); }
    ~TLinkLock() { link_.Unlock(); }
    TLinkLock(const TLinkLock&) = delete;
    TLinkLock& operator=(const TLinkLock&) = delete;

private:
    ICommunicationInterface& link_;
};

} // namespace

// Marks an exchange for its scope, so that the data handler leaves the link's bytes to it.
class TVantelStack::TExchangeMark {
public:
    explicit TExchangeMark(TVantelStack& stack) : stack_(stack) { Set(true); }
    ~TExchangeMark() { Set(false); }
    TExchangeMark(const TExchangeMark&) = delete;
    TExchangeMark& operator=(const TExchangeMark&) = delete;

private:
    void Set(bool exchanging)
    {
        TLockGuard guard(stack_.receiveLock_);
        stack_.exchanging_ = exchanging;
    }

    TVantelStack& stack_;
};

TVantelStack::TVantelStack(IXmlElement* element, IUnknown* parent)
{
    // Checked before the node links itself to the parent, so that a refused parent keeps
    // no reference to an object that is never finished.
    if (parent && !Supports(parent, IID_ICommunicationInterface))
        throw EConduvexError(kOwnerMustBeLink);
    InitNode(element, parent);
}

TVantelStack::~TVantelStack()
{
    if (link_ && link_->GetOnDataReceived() == MakeMethod<&TVantelStack::icDataRcv>(this))
        link_->SetOnDataReceived({});
}

void* TVantelStack::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IVantelStack))
        return static_cast<IVantelStack*>(this);
    return TNodedInterface::FindInterface(iid);
}

void TVantelStack::SetParent(IUnknown* parent)
{
    TNodedInterface::SetParent(parent);
    if (!parent) {
        SetCommInterface(nullptr);
        return;
    }
    const auto link = QueryAs<ICommunicationInterface>(parent, IID_ICommunicationInterface);
    if (!link)
        throw EConduvexError(kOwnerMustBeLink);
    SetCommInterface(link.Get());
}

TIntfPtr<ICommunicationInterface> TVantelStack::CurrentLink()
{
    TLockGuard guard(receiveLock_);
    return link_;
}

TIntfPtr<ICommunicationInterface> TVantelStack::GetCommInterface()
{
    return CurrentLink();
}

void TVantelStack::SetCommInterface(ICommunicationInterface* link)
{
    const auto handler = MakeMethod<&TVantelStack::icDataRcv>(this);
    TLockGuard guard(receiveLock_);
    if (IdentityOf(link) == IdentityOf(link_.Get()))
        return;
    if (link_ && link_->GetOnDataReceived() == handler)
        link_->SetOnDataReceived({});
    received_.TakeRest();
    link_ = link;
    if (link_)
        link_->SetOnDataReceived(handler);
}

bool TVantelStack::AddDevice(IVantelStackDevice* device)
{
    if (!device)
        return false;
    const bool added = AddChild(device) >= 0;
    IVantelStack* self = this;
    if (IdentityOf(device->GetStack().Get()) != IdentityOf(self))
        device->SetStack(self);
    return added;
}

bool TVantelStack::RemoveDevice(IVantelStackDevice* device)
{
    if (!device)
        return false;
    IVantelStack* self = this;
    if (IdentityOf(device->GetStack().Get()) == IdentityOf(self))
        device->SetStack(nullptr);
    return RemoveChild(device) >= 0;
}

bool TVantelStack::GetDevice(int index, TIntfPtr<IVantelStackDevice>& device)
{
    device = QueryAs<IVantelStackDevice>(GetChildren().Get(index).Get(), IID_IVantelStackDevice);
    return static_cast<bool>(device);
}

bool TVantelStack::Send(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data)
{
    const auto link = CurrentLink();
    if (!link)
        return false;
    const std::string frame = BuildVantel97(address, signature, instruction, data);
    return link->Write(frame) == static_cast<int32_t>(frame.size());
}

bool TVantelStack::SendAndReceive(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data,
                                  std::string& answer, uint32_t timeoutMs)
{
    answer.clear();
    const auto link = CurrentLink();
    if (!link)
        return false;
    std::vector<TVantelFormat97> records;
    {
        TLinkLock exchangeLock(*link);
        if (!link->IsActive())
            return false;
        TExchangeMark mark(*this);
        Pause(1);
        std::string setAside = link->Read();
        link->Write(BuildVantel97(address, signature, instruction, data));
        answer = AwaitAnswer(*link, address, signature, data.size(), timeoutMs, setAside);
        records = FinishExchange(*link, setAside);
    }
    // Unsolicited frames and answers to others that came meanwhile go to their devices,
    // with the link unlocked: a device's change events reach the host, whose handler may
    // start an exchange of its own from another thread.
    try {
        DispatchAll(records);
    } catch (...) {
        IobrantHandleException(std::current_exception());
    }
    return !answer.empty();
}

std::vector<TVantelFormat97> TVantelStack::FinishExchange(ICommunicationInterface& link, const std::string& setAside)
{
    TLockGuard guard(receiveLock_);
    exchanging_ = false;
    // What arrived after the last look came with a notification the handler let pass.
    std::string bytes = setAside;
    if (link.ReadLength() > 0)
        bytes += link.Read();
    return TakeFrames(bytes);
}

std::string TVantelStack::AwaitAnswer(ICommunicationInterface& link, uint8_t address, uint8_t signature,
                                      size_t dataLength, uint32_t timeoutMs, std::string& setAside)
{
    const double charTime = link.GetCharTime();
    TTickDeadline deadline(Now(), SaturatingAdd(timeoutMs, CeilMs((dataLength + kFirstWaitChars) * charTime)));
    const uint32_t gap = SaturatingAdd(CeilMs(kGapChars * charTime), kGapMs);
    TVantelFrameReader collected;
    std::string answer;
    for (bool arrived = true;;) {
        if (!arrived)
            Pause(1);
        arrived = false;
        if (link.ReadLength() != 0) {
            const std::string bytes = link.Read();
            arrived = !bytes.empty();
            collected.Append(bytes);
        }
        while (const auto frame = collected.NextFrame()) {
            if (AnswersRequest(*frame, address, signature)) {
                answer = *frame;
                break;
            }
            setAside += *frame;
        }
        if (!answer.empty())
            break;
        if (arrived)
            deadline.Restart(Now(), gap);
        else if (deadline.Passed(Now()))
            break;
    }
    setAside += collected.TakeRest();
    return answer;
}

void TVantelStack::icDataRcv(ICommunicationInterface*)
{
    try {
        std::vector<TVantelFormat97> records;
        {
            TLockGuard guard(receiveLock_);
            if (exchanging_ || !link_)
                return;
            records = TakeFrames(link_->Read());
        }
        DispatchAll(records);
    } catch (...) {
        IobrantHandleException(std::current_exception());
    }
}

void TVantelStack::Receive(const std::string& data)
{
    try {
        DispatchAll(TakeFrames(data));
    } catch (...) {
        IobrantHandleException(std::current_exception());
    }
}

std::vector<TVantelFormat97> TVantelStack::TakeFrames(const std::string& bytes)
{
    TLockGuard guard(receiveLock_);
    received_.Append(bytes);
    std::vector<TVantelFormat97> records;
    while (const auto frame = received_.NextFrame())
        records.push_back(ParseVantel97(*frame));
    return records;
}

void TVantelStack::DispatchAll(const std::vector<TVantelFormat97>& records)
{
    for (const TVantelFormat97& record : records)
        DispatchOne(record);
}

void TVantelStack::DispatchOne(const TVantelFormat97& record)
{
    // A copy of the children: a device may add or remove devices, or start an exchange
    // that another thread's dispatch waits for, while it handles the frame.
    for (const auto& child : GetChildren().Snapshot()) {
        const auto device = QueryAs<IVantelStackDevice>(child.Get(), IID_IVantelStackDevice);
        if (!device || !ReachesDevice(device->GetAddress(), record.address))
            continue;
        try {
            device->Dispatch(record);
        } catch (...) {
            IobrantHandleException(std::current_exception());
        }
    }
}

uint32_t TVantelStack::Now()
{
    return GetTickCount();
}

void TVantelStack::Pause(uint32_t ms)
{
    Sleep(ms);
}
