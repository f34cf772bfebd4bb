#include "threads/ThreadNames.h"

#include <cstddef>

#include "engine/win/ProcessLists.h"
#include "settings/win/DualText.h"
#include "threads/ThreadNameBuffer.h"

namespace {

constexpr DWORD kThreadAccess = SYNCHRONIZE | THREAD_QUERY_INFORMATION; // 0x00100040
constexpr DWORD kLookUpWait = 50;
constexpr DWORD kThreadNameException = 0x406D1388;
constexpr ULONG_PTR kThreadNameInfoType = 0x1000;

constexpr size_t kLongFieldsEnd = offsetof(TThreadEntry, creatorThreadId) + sizeof(DWORD);
constexpr size_t kHandleEnd = offsetof(TThreadEntry, handle) + sizeof(HANDLE);

// Takes the thread's entry out of the list; null when there is none.
TThreadEntry* Unlink(TThreadNameBufferData& data, uint32_t threadId)
{
    for (TThreadEntry** link = &data.head; *link; link = &(*link)->next) {
        TThreadEntry* entry = *link;
        if (entry->threadId == threadId) {
            *link = entry->next;
            entry->next = nullptr;
            return entry;
        }
    }
    return nullptr;
}

HANDLE OpenEntryHandle(uint32_t threadId, HANDLE given)
{
    HANDLE handle = nullptr;
    if (given && DuplicateHandle(GetCurrentProcess(), given, GetCurrentProcess(), &handle, kThreadAccess, FALSE, 0))
        return handle;
    return OpenThreadHandle(threadId, kThreadAccess);
}

// One ended thread's entry goes per change, so that the list does not grow with dead threads.
void RemoveOneEndedThread(TThreadNameBufferData& data)
{
    for (TThreadEntry** link = &data.head; *link; link = &(*link)->next) {
        TThreadEntry* entry = *link;
        if (EntryHolds(entry, kHandleEnd) && entry->handle && WaitForSingleObject(entry->handle, 0) == WAIT_OBJECT_0) {
            *link = entry->next;
            FreeThreadEntry(entry);
            return;
        }
    }
}

// A debugger that does not know the naming exception passes it on: it ends here instead of
// ending the process.
LONG CALLBACK ContinueAfterThreadName(EXCEPTION_POINTERS* pointers)
{
    return pointers->ExceptionRecord->ExceptionCode == kThreadNameException ? EXCEPTION_CONTINUE_EXECUTION
                                                                             : EXCEPTION_CONTINUE_SEARCH;
}

class TThreadNameCatcher {
public:
    TThreadNameCatcher() : handler_(AddVectoredExceptionHandler(1, ContinueAfterThreadName)) {}
    ~TThreadNameCatcher()
    {
        if (handler_)
            RemoveVectoredExceptionHandler(handler_);
    }
    TThreadNameCatcher(const TThreadNameCatcher&) = delete;
    TThreadNameCatcher& operator=(const TThreadNameCatcher&) = delete;

private:
    void* handler_;
};

} // namespace

void SetThreadEntry(uint32_t threadId, HANDLE thread, const UnicodeString& name, uint32_t creatorThreadId,
                    const void* startAddress, const UnicodeString& description)
{
    TThreadNameBufferData* data = ThreadNameBuffer().Data();
    if (!data)
        return;
    const TListMutexLock lock(*data, INFINITE);
    if (!lock.Owned())
        return;
    TThreadEntry* old = Unlink(*data, threadId);
    const bool keep = !name.empty() || startAddress;
    TThreadEntryInfo info{name, description, startAddress, creatorThreadId};
    HANDLE handle = nullptr;
    if (old) {
        const bool longEntry = EntryHolds(old, kLongFieldsEnd);
        if (keep) {
            if (info.name.empty())
                info.name = ReadDualText(old->name);
            if (longEntry) {
                if (info.description.empty())
                    info.description = ReadDualText(old->description);
                if (!info.startAddress)
                    info.startAddress = old->startAddress;
                if (!info.creatorThreadId)
                    info.creatorThreadId = old->creatorThreadId;
            }
            if (EntryHolds(old, kHandleEnd)) {
                handle = old->handle; // goes over to the new entry
                old->handle = nullptr;
            }
        }
        FreeThreadEntry(old);
    }
    if (keep) {
        if (!handle)
            handle = OpenEntryHandle(threadId, thread);
        auto* entry = static_cast<TThreadEntry*>(SharedAlloc(sizeof(TThreadEntry)));
        if (entry) {
            entry->threadId = threadId;
            entry->name = MakeDualText(info.name);
            entry->description = MakeDualText(info.description);
            entry->startAddress = const_cast<void*>(info.startAddress);
            entry->creatorThreadId = info.creatorThreadId;
            entry->handle = handle;
            entry->next = data->head;
            data->head = entry;
        } else if (handle)
            CloseHandle(handle);
    }
    RemoveOneEndedThread(*data);
}

void NameThread(uint32_t threadId, const UnicodeString& name)
{
    SetThreadEntry(threadId, nullptr, name, 0, nullptr, {});
    if (name.empty() || !IsDebuggerPresent())
        return;
    const AnsiString ansi = WideToSystemAnsi(name);
    const ULONG_PTR arguments[] = {kThreadNameInfoType, reinterpret_cast<ULONG_PTR>(ansi.c_str()), threadId, 0};
    const TThreadNameCatcher catcher;
    RaiseException(kThreadNameException, 0, 4, arguments);
}

std::optional<TThreadEntryInfo> GetThreadEntry(uint32_t threadId)
{
    TThreadNameBufferData* data = ThreadNameBuffer().Data();
    if (!data)
        return std::nullopt;
    const TListMutexLock lock(*data, kLookUpWait);
    if (!lock.Owned())
        return std::nullopt;
    for (const TThreadEntry* entry = data->head; entry; entry = entry->next) {
        if (entry->threadId != threadId)
            continue;
        TThreadEntryInfo info;
        info.name = ReadDualText(entry->name);
        if (EntryHolds(entry, kLongFieldsEnd)) {
            info.description = ReadDualText(entry->description);
            info.startAddress = entry->startAddress;
            info.creatorThreadId = entry->creatorThreadId;
        }
        return info;
    }
    return std::nullopt;
}
