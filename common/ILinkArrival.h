#pragma once
// How a link's exchange waits for its answer: it sleeps until new bytes arrive instead of
// in fixed steps. A separate interface, so the slot table of ICommunicationInterface stays
// as hosts know it; a link without it is polled in 1 ms steps.
#include <unknwn.h>

#include <cstdint>

// {B54285DA-BA0F-4C29-B8EF-57B9846EE595}
inline constexpr GUID IID_ILinkArrival = {
    0xB54285DA, 0xBA0F, 0x4C29, {0xB8, 0xEF, 0x57, 0xB9, 0x84, 0x6E, 0xE5, 0x95}};

struct ILinkArrival : public virtual IUnknown {
    // Returns at once when bytes wait to be read, else when new ones arrived or maxMs
    // passed, whichever comes first; a link that cannot tell when bytes arrive sleeps one
    // 1 ms poll step instead. The waiter looks at the link after each return.
    virtual void AwaitArrival(uint32_t maxMs) = 0;
    // An exchange calls these on its own thread: Begin before it discards what is pending
    // and writes its request, End after its last wait, before it returns. Meanwhile the
    // link may keep a receive ready for the answer, so that the answer never arrives with
    // nobody waiting for it; Begin tells whether it does. The exchange then skips its
    // yield before the request: its thread gives up the processor in that receive's wait,
    // and a yield on a busy machine hands it away for a whole time slice. End finishes
    // such a receive and never throws.
    virtual bool BeginAnswerWait() = 0;
    virtual void EndAnswerWait() = 0;
};

// Begins an exchange's answer wait on a link that has one, and ends it on every exit.
class TAnswerWaitScope {
public:
    explicit TAnswerWaitScope(ILinkArrival* arrival)
        : arrival_(arrival), receiveReady_(arrival && arrival->BeginAnswerWait())
    {
    }
    ~TAnswerWaitScope()
    {
        if (arrival_)
            arrival_->EndAnswerWait();
    }
    TAnswerWaitScope(const TAnswerWaitScope&) = delete;
    TAnswerWaitScope& operator=(const TAnswerWaitScope&) = delete;

    // A receive waits for the answer from before the request: no yield is needed.
    bool ReceiveReady() const { return receiveReady_; }

private:
    ILinkArrival* arrival_;
    bool receiveReady_;
};
