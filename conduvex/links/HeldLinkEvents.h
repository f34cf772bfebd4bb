#pragma once
// Holds the locks of the four eventers a handle entry listens to (opened, closed, data
// received, configuration changed), so that no notification of the link is on its way to
// the host while the holder takes the entry apart. The locks are only ever tried, with this
// thread's sent messages handled between tries: a worker that holds one of them while it
// sends this thread a notification (a send-mode window) finishes instead of deadlocking.
// Never keep a holder while closing the link or joining its threads: they need these locks.
#include "CiEventers.h"
#include "ICommunicationInterface.h"

#include <array>
#include <cstddef>

class THeldLinkEvents {
public:
    explicit THeldLinkEvents(ICommunicationInterface& link);
    ~THeldLinkEvents();
    THeldLinkEvents(const THeldLinkEvents&) = delete;
    THeldLinkEvents& operator=(const THeldLinkEvents&) = delete;

private:
    // All or none: a thread that holds some while waiting for another could close a cycle.
    bool TryLockAll();
    void UnlockFirst(size_t count);

    std::array<TeventerCiNotify*, 4> eventers_;
};
