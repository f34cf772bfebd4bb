#pragma once
// The exception object as the handler lists and the thread pausing see it; holds a reference.
#include "handlers/HandlerException.h"
#include "model/win/ZelException.h"

class THandlerExceptionView final : public IHandlerException {
public:
    explicit THandlerExceptionView(TIntfPtr<TIZEException> exception) : exception_(std::move(exception)) {}

    uint8_t Phase() const override { return exception_->GetPhase(); }
    bool HandlersAllowed() const override { return exception_->GetCallHandlers(); }
    bool IsFreezeReport() const override { return exception_->GetExceptType() == TExceptType::Frozen; }
    bool PausesThreads() const override { return exception_->PauseThreads(); }
    void CompleteReport() override { exception_->GetBugReport(); }
    bool ReportAwaited() const override { return exception_->AnyCallbackFlagged(); }
    // Through the installed assistant runner; None without one.
    TAssistantOutcome RunAssistant(uint8_t action, void* owner) override;

private:
    TIntfPtr<TIZEException> exception_;
};
