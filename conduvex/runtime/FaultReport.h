#pragma once
// How the library tells of an exception it survives: one that ends a thread of its own, one that
// a window procedure of its own caught, and a fault of the host's code that it called. The crash
// library that the DLL carries sets the reporters at attach and reports as its settings say;
// without reporters (the unit tests) nothing is told and the library goes on all the same.
#include <windows.h>

#include <exception>
#include <type_traits>

struct TFaultReporting {
    // Runs a thread's work: what escapes it is reported, traced at the raising code's stack,
    // and given back; null when the work returned.
    std::exception_ptr (*runThreadWork)(void (*work)(void*), void* data) noexcept = nullptr;
    // Inside the catch: what a window procedure caught, the window as the sender.
    void (*windowProc)(HWND window) noexcept = nullptr;
    // Inside the catch: an exception that a thread of the library survives.
    void (*thread)() noexcept = nullptr;
    // Inside the catch: an exception at a boundary of the host's thread that goes on (an export).
    void (*boundary)() noexcept = nullptr;
};

// From the library's attach to its detach.
void SetFaultReporting(const TFaultReporting& reporting);

// Runs the work as the body of a thread of the library; the exception that ended it, reported,
// or null.
std::exception_ptr RunThreadWork(void (*work)(void*), void* data) noexcept;

template <class Body>
std::exception_ptr RunThreadBody(Body&& body) noexcept
{
    return RunThreadWork([](void* data) { (*static_cast<std::remove_reference_t<Body>*>(data))(); }, &body);
}

// Reports the exception being handled (inside a catch) as one of that window's procedure.
void ReportWindowProcFault(HWND window) noexcept;

// Reports the exception being handled (inside a catch) where the calling code runs: in a window
// procedure of the library, else on a thread of the library, else at the host's boundary.
void ReportFaultWhereItRuns() noexcept;

// Marks the run of a window procedure for the reports of what it calls.
class TWindowProcScope {
public:
    explicit TWindowProcScope(HWND window);
    ~TWindowProcScope();
    TWindowProcScope(const TWindowProcScope&) = delete;
    TWindowProcScope& operator=(const TWindowProcScope&) = delete;

private:
    HWND outer_;
};

// Runs a window procedure's work. What escapes it is reported as the window's and handed to
// `failed`, whose result the procedure returns; nothing unwinds into the system's frames.
template <class Work, class Failed>
auto RunWindowProc(HWND window, Work&& work, Failed&& failed) noexcept -> decltype(work())
{
    const TWindowProcScope scope(window);
    try {
        return work();
    } catch (...) {
        ReportWindowProcFault(window);
        try {
            return failed(std::current_exception());
        } catch (...) {
            return {};
        }
    }
}
