#pragma once
// The eventers through which a link announces itself to its listeners.
#include "Eventer.h"
#include "ICommunicationInterface.h"

// Opened, closed, data received and configuration changed: handlers get the sender.
class TeventerCiNotify : public TEventer<ICommunicationInterface*> {
public:
    void Fire(ICommunicationInterface* sender) { FireAll(sender, sender); }
};

// Line-state events: handlers get (sender, event code, state).
class TeventerCiNotifyChangeEvent : public TEventer<ICommunicationInterface*, int32_t, bool> {
public:
    void Fire(ICommunicationInterface* sender, int32_t code, bool state)
    {
        FireAll(sender, sender, code, state);
    }
};
