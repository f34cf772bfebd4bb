#include "links/HeldLinkEvents.h"

#include <windows.h>

namespace {

constexpr DWORD kRetryStepMs = 1;

// Runs the messages other threads sent to this thread, waiting a moment for one.
void HandleSentMessages()
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kRetryStepMs, QS_SENDMESSAGE);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

} // namespace

THeldLinkEvents::THeldLinkEvents(ICommunicationInterface& link)
    : eventers_{link.OpenEventer(), link.CloseEventer(), link.DataReceivedEventer(),
                link.ConfigChangedEventer()}
{
    while (!TryLockAll())
        HandleSentMessages();
}

THeldLinkEvents::~THeldLinkEvents()
{
    UnlockFirst(eventers_.size());
}

bool THeldLinkEvents::TryLockAll()
{
    for (size_t locked = 0; locked < eventers_.size(); ++locked) {
        if (!eventers_[locked]->TryLock()) {
            UnlockFirst(locked);
            return false;
        }
    }
    return true;
}

void THeldLinkEvents::UnlockFirst(size_t count)
{
    for (size_t index = 0; index < count; ++index)
        eventers_[index]->Unlock();
}
