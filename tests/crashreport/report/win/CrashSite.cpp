#include "CrashSite.h"

#include "FaultGuard.h"
#include "threads/ThreadNames.h"

namespace {

TCrash* current = nullptr;

bool IsAccessViolation(uint32_t code)
{
    return code == EXCEPTION_ACCESS_VIOLATION;
}

using TSite = void (*)(void*);

TSite SiteOf(TCrashSite site)
{
    static const HMODULE sites = LoadLibraryW(L"crashreport_report_sites.dll");
    return reinterpret_cast<TSite>(
        reinterpret_cast<void*>(GetProcAddress(sites, site == TCrashSite::A ? "CrashSiteA" : "CrashSiteB")));
}

__attribute__((noinline)) void Wait(HANDLE release, int depth)
{
    if (depth > 0)
        Wait(release, depth - 1);
    else
        WaitForSingleObject(release, INFINITE);
    asm volatile("" ::: "memory");
}

} // namespace

TCrash::TCrash(TCrashSite site, const UnicodeString& name)
    : faulted_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    // The fault guard's handler comes first into the list; this one is put before it.
    char probe = 0;
    CopyUnderFaultGuard(&probe, &probe, 1);
    current = this;
    handler_ = AddVectoredExceptionHandler(1, Capture);
    thread_ = std::thread([this, site, name] { Run(site, name); });
    WaitForSingleObject(faulted_, 10000);
}

TCrash::~TCrash()
{
    SetEvent(release_);
    thread_.join();
    RemoveVectoredExceptionHandler(handler_);
    current = nullptr;
    CloseHandle(faulted_);
    CloseHandle(release_);
}

void TCrash::Run(TCrashSite site, const UnicodeString& name)
{
    threadId_ = GetCurrentThreadId();
    if (!name.empty())
        NameThread(threadId_, name);
    if (const TSite crash = SiteOf(site))
        RunUnderFaultGuard(IsAccessViolation, crash, nullptr);
    else
        SetEvent(faulted_);
    NameThread(threadId_, u"");
}

LONG CALLBACK TCrash::Capture(EXCEPTION_POINTERS* pointers)
{
    TCrash* crash = current;
    if (!crash || GetCurrentThreadId() != crash->threadId_ ||
        pointers->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION)
        return EXCEPTION_CONTINUE_SEARCH;
    crash->context_ = *pointers->ContextRecord;
    crash->address_ = reinterpret_cast<uintptr_t>(pointers->ExceptionRecord->ExceptionAddress);
    crash->captured_ = true;
    SetEvent(crash->faulted_);
    WaitForSingleObject(crash->release_, INFINITE);
    return EXCEPTION_CONTINUE_SEARCH;
}

TWaitingThreads::TWaitingThreads(std::initializer_list<UnicodeString> names)
    : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), ready_(CreateSemaphoreW(nullptr, 0, 100, nullptr))
{
    ids_.resize(names.size());
    size_t index = 0;
    for (const UnicodeString& name : names) {
        threads_.emplace_back([this, name, index] {
            ids_[index] = GetCurrentThreadId();
            if (!name.empty())
                NameThread(ids_[index], name);
            ReleaseSemaphore(ready_, 1, nullptr);
            Wait(release_, 3 + static_cast<int>(index));
            NameThread(ids_[index], u"");
        });
        ++index;
    }
    for (size_t i = 0; i < names.size(); ++i)
        WaitForSingleObject(ready_, 10000);
}

TWaitingThreads::~TWaitingThreads()
{
    SetEvent(release_);
    for (std::thread& thread : threads_)
        thread.join();
    CloseHandle(release_);
    CloseHandle(ready_);
}
