#pragma once
// The registered exception, action and raise-notification handlers of the process and the
// rules that say which of them run on a given thread. Handlers run outside the lists' lock.
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "handlers/HandlerException.h"

enum class THandlerKind : uint8_t { Exception = 0, Action = 1, RaiseNotify = 2 };

// Where a handler runs.
enum class THandlerThread : uint8_t {
    Handling = 0,       // on the thread that handles the exception
    Main = 1,           // only on the main thread
    MainOrHandling = 2, // on the main thread, or on the handling thread when it does not answer
};

// Action codes of the action handlers.
namespace HandlerAction {
constexpr uint8_t Send = 0, Save = 1, Print = 2, SendAssisted = 3, SaveAssisted = 4, PrintAssisted = 5, Sent = 6,
                  Saved = 7, Continue = 11, Restart = 12, Close = 13;
}

// action is 0 for exception and raise-notification handlers.
using THandlerProc = void (*)(IHandlerException& exception, uint8_t action, bool& handled);
struct THandlerMethod {
    void (*code)(void* object, IHandlerException& exception, uint8_t action, bool& handled);
    void* object;
};

// One firing of a list, possibly carried to the main thread and back.
struct THandlerRun {
    THandlerKind kind;
    uint8_t action;
    IHandlerException& exception;
    bool handled = false;
    bool onMainThread = false;
    bool mainThreadSilent = false; // the main thread did not answer: its fallback handlers run here
};

class THandlerLists {
public:
    // False when that handler is registered in the list already.
    bool Add(THandlerKind kind, THandlerProc handler, THandlerThread thread, uint8_t phase);
    bool Add(THandlerKind kind, THandlerMethod handler, THandlerThread thread, uint8_t phase);
    // False when it was not registered.
    bool Remove(THandlerKind kind, THandlerProc handler);
    bool Remove(THandlerKind kind, THandlerMethod handler);
    void Clear();

    bool Empty(THandlerKind kind) const;
    // Whether a handler of the list at this phase waits for the main thread.
    bool NeedsMainThread(THandlerKind kind, uint8_t phase) const;
    // Method handlers first, then plain ones, each in list order.
    void Run(THandlerRun& run) const;

private:
    struct TEntry {
        THandlerThread thread;
        uint8_t phase;
        THandlerProc proc;
        THandlerMethod method;
    };
    struct TList {
        std::vector<TEntry> plain;
        std::vector<TEntry> methods;
    };

    static bool Fits(const TEntry& entry, const THandlerRun& run, uint8_t phase);
    static bool RunEntries(const std::vector<TEntry>& entries, THandlerRun& run, uint8_t phase, bool stopAtHandled);
    const TList& ListOf(THandlerKind kind) const { return lists_[static_cast<size_t>(kind)]; }
    TList& ListOf(THandlerKind kind) { return lists_[static_cast<size_t>(kind)]; }

    mutable std::mutex lock_;
    std::array<TList, 3> lists_;
};

// The lists of this copy of the library.
THandlerLists& HandlerLists();
