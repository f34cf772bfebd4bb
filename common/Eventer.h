#pragma once
// Ordered, thread-safe subscriber lists. Firing holds the list's re-entrant lock, so a
// handler may subscribe or unsubscribe on the list it is fired from; the loop reads the
// count again before every step, so a handler that removes itself makes the next one
// miss this firing (deliberate, hosts may rely on it).
#include "CriticalSection.h"
#include "InterfacedObject.h"
#include "Method.h"

#include <vector>

template <class... Args>
class TEventer {
public:
    using Handler = TMethod<Args...>;

    TEventer() = default;
    TEventer(const TEventer&) = delete;
    TEventer& operator=(const TEventer&) = delete;

    void Lock() { lock_.Enter(); }
    // Never blocks: a thread that must keep handling sent messages polls with it.
    bool TryLock() { return lock_.TryEnter(); }
    void Unlock() { lock_.Leave(); }

    void Add(Handler handler)
    {
        TLockGuard guard(lock_);
        handlers_.push_back(handler);
    }

    void Remove(Handler handler)
    {
        TLockGuard guard(lock_);
        for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
            if (*it == handler) {
                handlers_.erase(it);
                return;
            }
        }
    }

    size_t Count()
    {
        TLockGuard guard(lock_);
        return handlers_.size();
    }

protected:
    template <class Sender>
    void FireAll(Sender* sender, Args... args)
    {
        TIntfPtr<Sender> keepSender(sender);
        TLockGuard guard(lock_);
        for (size_t i = 0; i < handlers_.size(); ++i) {
            const Handler handler = handlers_[i];
            try {
                handler(args...);
            } catch (...) {
                // A subscriber's failure must not stop the others or reach the announcer.
            }
        }
    }

private:
    TCriticalSection lock_;
    std::vector<Handler> handlers_;
};

template <class EventerT>
void SubscribeEventer(EventerT* eventer, typename EventerT::Handler handler)
{
    if (eventer)
        eventer->Add(handler);
}

template <class EventerT>
void UnsubscribeEventer(EventerT* eventer, typename EventerT::Handler handler)
{
    if (eventer)
        eventer->Remove(handler);
}
