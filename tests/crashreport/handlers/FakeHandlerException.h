#pragma once
// An exception under handling whose answers the test sets, recording what the handlers did.
#include <atomic>
#include <string>
#include <vector>

#include "handlers/HandlerException.h"

class TFakeException : public IHandlerException {
public:
    explicit TFakeException(uint8_t phase = 0) : phase(phase) {}
    uint8_t Phase() const override { return phase; }
    bool HandlersAllowed() const override { return handlersAllowed; }
    bool IsFreezeReport() const override { return freezeReport; }
    bool PausesThreads() const override { return pausesThreads; }
    void CompleteReport() override { ++reportsCompleted; }
    bool ReportAwaited() const override { return reportAwaited; }
    TAssistantOutcome RunAssistant(uint8_t action, void*) override
    {
        assistedActions.push_back(action);
        return assistant;
    }

    uint8_t phase;
    bool handlersAllowed = true;
    bool freezeReport = false;
    bool pausesThreads = false;
    bool reportAwaited = false;
    TAssistantOutcome assistant = TAssistantOutcome::None;
    std::atomic<int> reportsCompleted{0};
    std::vector<uint8_t> assistedActions;
    std::vector<std::string> calls;
};
