#include "model/win/HandlerExceptionView.h"

TAssistantOutcome THandlerExceptionView::RunAssistant(uint8_t action, void* owner)
{
    const auto& run = ExceptionHooks().runAssistant;
    return run ? run(*exception_, action, owner) : TAssistantOutcome::None;
}
