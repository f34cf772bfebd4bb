#include "handlers/HandlerLists.h"

#include <algorithm>

namespace {

// In the first three phases the first handler that handles the exception ends the walk; later
// every matching handler runs.
constexpr uint8_t kLastStoppingPhase = 2;

bool SameMethod(const THandlerMethod& method, const THandlerMethod& other)
{
    return method.code == other.code && method.object == other.object;
}

} // namespace

bool THandlerLists::Add(THandlerKind kind, THandlerProc handler, THandlerThread thread, uint8_t phase)
{
    if (!handler)
        return false;
    const std::lock_guard<std::mutex> guard(lock_);
    std::vector<TEntry>& plain = ListOf(kind).plain;
    if (std::any_of(plain.begin(), plain.end(), [handler](const TEntry& entry) { return entry.proc == handler; }))
        return false;
    plain.push_back({thread, phase, handler, {}});
    return true;
}

bool THandlerLists::Add(THandlerKind kind, THandlerMethod handler, THandlerThread thread, uint8_t phase)
{
    if (!handler.code)
        return false;
    const std::lock_guard<std::mutex> guard(lock_);
    std::vector<TEntry>& methods = ListOf(kind).methods;
    if (std::any_of(methods.begin(), methods.end(),
                    [&handler](const TEntry& entry) { return SameMethod(handler, entry.method); }))
        return false;
    methods.push_back({thread, phase, nullptr, handler});
    return true;
}

bool THandlerLists::Remove(THandlerKind kind, THandlerProc handler)
{
    const std::lock_guard<std::mutex> guard(lock_);
    return std::erase_if(ListOf(kind).plain, [handler](const TEntry& entry) { return entry.proc == handler; }) != 0;
}

bool THandlerLists::Remove(THandlerKind kind, THandlerMethod handler)
{
    const std::lock_guard<std::mutex> guard(lock_);
    return std::erase_if(ListOf(kind).methods,
                         [&handler](const TEntry& entry) { return SameMethod(handler, entry.method); }) != 0;
}

void THandlerLists::Clear()
{
    const std::lock_guard<std::mutex> guard(lock_);
    lists_ = {};
}

bool THandlerLists::Empty(THandlerKind kind) const
{
    const std::lock_guard<std::mutex> guard(lock_);
    const TList& list = ListOf(kind);
    return list.plain.empty() && list.methods.empty();
}

bool THandlerLists::NeedsMainThread(THandlerKind kind, uint8_t phase) const
{
    const std::lock_guard<std::mutex> guard(lock_);
    const TList& list = ListOf(kind);
    const auto waits = [kind, phase](const TEntry& entry) {
        return entry.thread != THandlerThread::Handling && (kind != THandlerKind::Exception || entry.phase == phase);
    };
    return std::any_of(list.plain.begin(), list.plain.end(), waits) ||
           std::any_of(list.methods.begin(), list.methods.end(), waits);
}

void THandlerLists::Run(THandlerRun& run) const
{
    TList snapshot;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        snapshot = ListOf(run.kind);
    }
    const uint8_t phase = run.exception.Phase();
    const bool stopAtHandled = run.kind != THandlerKind::Exception || phase <= kLastStoppingPhase;
    if (!RunEntries(snapshot.methods, run, phase, stopAtHandled))
        return;
    if (!run.handled || !stopAtHandled)
        RunEntries(snapshot.plain, run, phase, stopAtHandled);
}

bool THandlerLists::Fits(const TEntry& entry, const THandlerRun& run, uint8_t phase)
{
    if (run.kind == THandlerKind::Exception && entry.phase != phase)
        return false;
    if (run.mainThreadSilent)
        return entry.thread == THandlerThread::MainOrHandling;
    return (entry.thread != THandlerThread::Handling) == run.onMainThread;
}

// False when a handler ended the walk.
bool THandlerLists::RunEntries(const std::vector<TEntry>& entries, THandlerRun& run, uint8_t phase, bool stopAtHandled)
{
    for (const TEntry& entry : entries) {
        if (!Fits(entry, run, phase))
            continue;
        try {
            if (entry.proc)
                entry.proc(run.exception, run.action, run.handled);
            else
                entry.method.code(entry.method.object, run.exception, run.action, run.handled);
        } catch (...) {
            // A failing handler does not keep the others from running.
        }
        if (run.handled && stopAtHandled)
            return false;
    }
    return true;
}

THandlerLists& HandlerLists()
{
    static THandlerLists lists;
    return lists;
}
