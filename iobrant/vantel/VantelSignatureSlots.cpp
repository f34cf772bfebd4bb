#include "vantel/VantelSignatureSlots.h"

#include <windows.h>

bool TVantelSignatureSlots::Available(const TVantelStackItemSIG& slot, uint32_t now) const
{
    return slot.free || slot.deadline.Passed(now);
}

std::optional<uint8_t> TVantelSignatureSlots::Allocate(uint32_t timeoutMs)
{
    for (int pass = 0; pass <= kPassesBeforeOverload; ++pass) {
        {
            TLockGuard guard(lock_);
            for (size_t probe = 0; probe < slots_.size(); ++probe) {
                TVantelStackItemSIG& slot = slots_[next_];
                const uint32_t now = GetTickCount();
                if (Available(slot, now)) {
                    slot = TVantelStackItemSIG{};
                    slot.free = false;
                    slot.deadline.Restart(now, timeoutMs);
                    return next_;
                }
                ++next_;
            }
        }
        // A whole pass found every slot busy: give the earliest deadline a moment.
        Sleep(1);
    }
    return std::nullopt;
}

void TVantelSignatureSlots::Free(uint8_t signature)
{
    TLockGuard guard(lock_);
    slots_[signature] = TVantelStackItemSIG{};
}

void TVantelSignatureSlots::Arm(uint8_t signature, TVantelReplyMethod callback, const TVantelFormat97& request)
{
    TLockGuard guard(lock_);
    TVantelStackItemSIG& slot = slots_[signature];
    if (slot.free)
        return;
    slot.awaitsReply = true;
    slot.callback = callback;
    slot.request = request;
}

std::optional<std::pair<TVantelReplyMethod, TVantelFormat97>> TVantelSignatureSlots::Respond(const TVantelFormat97& reply)
{
    TLockGuard guard(lock_);
    TVantelStackItemSIG& slot = slots_[reply.signature];
    if (slot.free || !slot.awaitsReply)
        return std::nullopt;
    auto call = std::make_pair(slot.callback, slot.request);
    slot = TVantelStackItemSIG{};
    return call;
}
