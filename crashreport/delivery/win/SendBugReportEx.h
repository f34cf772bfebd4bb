#pragma once
// Sends a finished report over the configured routes in their fixed order (tracker or HTTP
// upload, SMTP, MAPI, mailto), each failed route falling through to the next, optionally on a
// thread of its own.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "InterfacedObject.h"
#include "bitmap/win/INVBitmap.h"
#include "settings/SettingAccessors.h"
#include "text/ZelTypes.h"

// What a send needs of the exception it reports; kept alive by the background thread.
class IDeliveryTarget {
public:
    virtual ~IDeliveryTarget() = default;
    virtual IZESettings& Settings() = 0;
    // The report is already in the bug-report file (an automatic save of it).
    virtual bool ReportSaved() = 0;
    virtual void MarkSent() = 0;
};
using TDeliveryTargetRef = std::shared_ptr<IDeliveryTarget>;

struct TSendRequest {
    UnicodeString report;
    TIntfPtr<INVBitmap> screenShot;
    HWND parent = nullptr;
    // Started by the automatic actions, not by the user: no dialogs, no dial-up, no message.
    bool automatic = false;
    bool background = false;
    // Already on the sending thread.
    bool inThread = false;
    TDeliveryTargetRef target;
};

// True when a route delivered the report, or when the background thread was started (its
// outcome is not reported back). The thread's handle goes to `thread` when given, else it is
// closed.
bool SendBugReportEx(const TSendRequest& request, HANDLE* thread = nullptr);

// Process-wide parts of the routes that differ in tests.
struct TDeliveryEnvironment {
    std::wstring mapiLibrary = L"mapi32.dll";
    // The one failure message of a user's send.
    std::function<void(HWND parent, const UnicodeString& text)> showFailure;
    // The freeze watchdog's pause while a mail program runs; none when there is no watchdog.
    std::function<void(bool pause)> pauseWatchdog;
};
TDeliveryEnvironment& DeliveryEnvironment();
