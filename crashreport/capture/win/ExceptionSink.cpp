#include "capture/win/ExceptionSink.h"

#include <atomic>

namespace {

std::atomic<IExceptionSink*> currentSink{nullptr};

} // namespace

void SetExceptionSink(IExceptionSink* sink)
{
    currentSink = sink;
}

IExceptionSink* ExceptionSink()
{
    return currentSink;
}

void ReportCaught(const TCaughtException& exception)
{
    if (IExceptionSink* sink = currentSink)
        sink->HandleException(exception);
}
