#pragma once
// Takes a handle's window and callback registrations away for the life of the object and
// gives them back afterwards (callback first, then window), so that an exchange's reply
// reaches no host notification.
#include "links/CommIntfHandler.h"

#include <cstdint>

class TSuspendedNotifications {
public:
    TSuspendedNotifications(TCommIntfHandler& table, uint32_t handle);
    ~TSuspendedNotifications();
    TSuspendedNotifications(const TSuspendedNotifications&) = delete;
    TSuspendedNotifications& operator=(const TSuspendedNotifications&) = delete;

private:
    TCommIntfHandler& table_;
    uint32_t handle_;
    bool hadWindow_ = false;
    HWND window_ = nullptr;
    UINT message_ = 0;
    bool send_ = false;
    bool hadCallback_ = false;
    TCiNotifyCallback callback_ = nullptr;
    uint32_t userData_ = 0;
};
