#include "capture/win/TerminateReport.h"

#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "capture/win/RaiseRecord.h"

namespace {

std::mutex installLock;
std::terminate_handler previous = nullptr;
bool installed = false;
thread_local bool reporting = false;

void ReportRuntimeError()
{
    TCaughtException caught;
    if (std::current_exception())
        caught = DescribeCurrentException(TCaptureSource::RuntimeError, false);
    caught.source = TCaptureSource::RuntimeError;
    caught.continueAllowed = false;
    if (caught.message.empty())
        caught.message = "Runtime error";
    if (caught.className.empty())
        caught.className = "ZelException";
    ReportCaught(caught);
}

[[noreturn]] void OnTerminate()
{
    // A terminate while reporting one goes straight on.
    if (!reporting) {
        reporting = true;
        try {
            ReportRuntimeError();
        } catch (...) {
            // Ending is what follows either way.
        }
    }
    std::terminate_handler next = nullptr;
    {
        const std::lock_guard<std::mutex> guard(installLock);
        next = previous;
    }
    if (next)
        next();
    std::abort();
}

} // namespace

void InstallTerminateReport()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (installed)
        return;
    previous = std::set_terminate(&OnTerminate);
    installed = true;
}

void RemoveTerminateReport()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (!installed)
        return;
    std::set_terminate(previous);
    previous = nullptr;
    installed = false;
}
