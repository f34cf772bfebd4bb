#pragma once
// The report callbacks of one exception object: plain procedures and methods (code + object),
// each with a flag. One process-wide lock guards the arrays of every exception object; it is
// held while copying or editing, never while a callback runs.
#include <vector>

#include "text/ZelTypes.h"

struct IZEException;

// A plain callback is given the exception only when it is called at its registration; the calls
// that announce changes give it (complete, text) alone, the exception then null.
using TBugReportCallback = void (*)(bool complete, const UnicodeString& text, IZEException* exception);

struct TBugReportMethod {
    void (*code)(void* object, bool complete, const UnicodeString& text, IZEException* exception) = nullptr;
    void* object = nullptr;
    bool operator==(const TBugReportMethod&) const = default;
};

class TReportCallbacks {
public:
    struct TCopy {
        std::vector<TBugReportCallback> plain;
        std::vector<TBugReportMethod> methods;
        bool Empty() const { return plain.empty() && methods.empty(); }
    };

    // True when the procedure is new (the caller calls it at once); an old one gets the flag.
    bool Register(TBugReportCallback callback, bool flag);
    bool Register(const TBugReportMethod& method, bool flag);
    // Removes the first entry of that procedure (method: code and object).
    void Unregister(TBugReportCallback callback);
    void Unregister(const TBugReportMethod& method);
    bool AnyFlagged() const;
    TCopy Copy() const;

private:
    struct TPlainEntry {
        TBugReportCallback callback;
        bool flag;
    };
    struct TMethodEntry {
        TBugReportMethod method;
        bool flag;
    };

    std::vector<TPlainEntry> plain_;
    std::vector<TMethodEntry> methods_;
};

// Announces a change: every plain callback with (complete, text), then every method with the
// exception too, in registration order.
void CallReportCallbacks(const TReportCallbacks::TCopy& callbacks, bool complete, const UnicodeString& text,
                         IZEException* exception);
