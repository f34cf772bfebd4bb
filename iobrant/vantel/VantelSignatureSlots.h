#pragma once
// The 256 signatures of one device: a request takes a free one, and its reply, carrying it
// back, finds the request's slot. A slot whose time-out has passed counts as free again.
#include "CriticalSection.h"
#include "vantel/IVantelStack.h"
#include "Ticks.h"
#include "Vantel97.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

struct TVantelStackItemSIG {
    bool free = true;
    // Set for an asynchronous request: its reply frees the slot.
    bool awaitsReply = false;
    TTickDeadline deadline;
    TVantelReplyMethod callback;
    TVantelFormat97 request;
};

class TVantelSignatureSlots {
public:
    // Full passes over a table with every slot busy before allocation gives up.
    static constexpr int kPassesBeforeOverload = 5;

    // The first available signature from where the last search stopped, held until freed
    // or until the time-out passes; none when every slot stayed busy for the passes above.
    std::optional<uint8_t> Allocate(uint32_t timeoutMs);
    void Free(uint8_t signature);
    // Marks a held slot as awaiting an asynchronous reply, with its handler and request.
    void Arm(uint8_t signature, TVantelReplyMethod callback, const TVantelFormat97& request);
    // The reply to an asynchronous request frees its slot and gives back the handler (may
    // be empty) and request for the caller to run. Replies to anything else are ignored.
    std::optional<std::pair<TVantelReplyMethod, TVantelFormat97>> Respond(const TVantelFormat97& reply);

private:
    bool Available(const TVantelStackItemSIG& slot, uint32_t now) const;

    TCriticalSection lock_;
    uint8_t next_ = 0;
    std::array<TVantelStackItemSIG, 256> slots_;
};
