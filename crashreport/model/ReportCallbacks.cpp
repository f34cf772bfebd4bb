#include "model/ReportCallbacks.h"

#include <algorithm>
#include <mutex>

namespace {

// One lock for the callbacks of every exception object.
std::mutex& CallbacksLock()
{
    static std::mutex lock;
    return lock;
}

template <class Entries, class Key>
bool RegisterEntry(Entries& entries, const Key& key, bool flag, Key Entries::value_type::*member)
{
    const std::lock_guard guard(CallbacksLock());
    for (auto& entry : entries)
        if (entry.*member == key) {
            entry.flag = flag;
            return false;
        }
    entries.push_back({key, flag});
    return true;
}

template <class Entries, class Key>
void UnregisterEntry(Entries& entries, const Key& key, Key Entries::value_type::*member)
{
    const std::lock_guard guard(CallbacksLock());
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) { return entry.*member == key; });
    if (found != entries.end())
        entries.erase(found);
}

} // namespace

bool TReportCallbacks::Register(TBugReportCallback callback, bool flag)
{
    return RegisterEntry(plain_, callback, flag, &TPlainEntry::callback);
}

bool TReportCallbacks::Register(const TBugReportMethod& method, bool flag)
{
    return RegisterEntry(methods_, method, flag, &TMethodEntry::method);
}

void TReportCallbacks::Unregister(TBugReportCallback callback)
{
    UnregisterEntry(plain_, callback, &TPlainEntry::callback);
}

void TReportCallbacks::Unregister(const TBugReportMethod& method)
{
    UnregisterEntry(methods_, method, &TMethodEntry::method);
}

bool TReportCallbacks::AnyFlagged() const
{
    const std::lock_guard guard(CallbacksLock());
    const auto flagged = [](const auto& entry) { return entry.flag; };
    return std::any_of(plain_.begin(), plain_.end(), flagged) || std::any_of(methods_.begin(), methods_.end(), flagged);
}

TReportCallbacks::TCopy TReportCallbacks::Copy() const
{
    const std::lock_guard guard(CallbacksLock());
    TCopy copy;
    for (const TPlainEntry& entry : plain_)
        copy.plain.push_back(entry.callback);
    for (const TMethodEntry& entry : methods_)
        copy.methods.push_back(entry.method);
    return copy;
}

void CallReportCallbacks(const TReportCallbacks::TCopy& callbacks, bool complete, const UnicodeString& text,
                         IZEException* exception)
{
    for (TBugReportCallback callback : callbacks.plain)
        callback(complete, text, nullptr);
    for (const TBugReportMethod& method : callbacks.methods)
        method.code(method.object, complete, text, exception);
}
