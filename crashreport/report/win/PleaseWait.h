#pragma once
// The "please wait" alert (setting PlWaitBox), shown while a caller waits for the report of an
// exception; the stack traces move its bar from whichever thread builds the report.
#include "StackSeams.h"
#include "model/win/ZelException.h"

class TPleaseWait {
public:
    // Shows the alert when the setting asks for it and a window can be made.
    explicit TPleaseWait(TIZEException& exception);
    ~TPleaseWait();
    TPleaseWait(const TPleaseWait&) = delete;
    TPleaseWait& operator=(const TPleaseWait&) = delete;

    bool Shown() const { return static_cast<bool>(alert_); }
    // Dispatches the alert's messages; on the thread that made it.
    void Pump();

private:
    TIZEException& exception_;
    TIntfPtr<IProgressAlert> alert_;
};

// The exception's alert, when one is shown, as the traces' progress.
class TExceptionProgress : public IStackProgress {
public:
    explicit TExceptionProgress(TIZEException& exception) : exception_(exception) {}
    void SetPosition(int position) override;

private:
    TIZEException& exception_;
};
