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
};
