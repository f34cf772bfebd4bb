#pragma once
// A host's notification callback for tests: records every call, in order, for the test
// thread to inspect (tests clear the list in their set-up).
#include <cstdint>
#include <vector>

struct TRecordedNotification {
    uint32_t handle;
    uint32_t kind;
    uint32_t data;
    uint32_t userData;
};

inline std::vector<TRecordedNotification>& RecordedNotifications()
{
    static std::vector<TRecordedNotification> notifications;
    return notifications;
}

inline void __stdcall RecordNotification(uint32_t handle, uint32_t kind, uint32_t data, uint32_t userData)
{
    RecordedNotifications().push_back({handle, kind, data, userData});
}
