#pragma once
// A progress alert as the tracer's progress: the trace moves the bar of the alert's current area.
#include "IProgressAlert.h"
#include "StackSeams.h"

class TAlertProgress : public IStackProgress {
public:
    explicit TAlertProgress(TIntfPtr<IProgressAlert> alert) : alert_(std::move(alert)) {}
    void SetPosition(int position) override
    {
        if (alert_)
            alert_->SetPosition(position);
    }

private:
    TIntfPtr<IProgressAlert> alert_;
};
