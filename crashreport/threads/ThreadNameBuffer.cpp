#include "threads/ThreadNameBuffer.h"

#include <cstddef>

#include "engine/EngineText.h"
#include "settings/win/DualText.h"
#include "settings/win/NamedObjectSecurity.h"

namespace {

UnicodeString BufferName()
{
    return u"zelExceptThreadNameBuf" + ProcessSuffix(GetCurrentProcessId());
}

void* MapBufferView(HANDLE mapping, SIZE_T size)
{
    return MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
}

TBufferViewMapper g_viewMapper = MapBufferView;

} // namespace

TBufferViewMapper SetBufferViewMapper(TBufferViewMapper mapper)
{
    const TBufferViewMapper previous = g_viewMapper;
    g_viewMapper = mapper ? mapper : MapBufferView;
    return previous;
}

TThreadNameBuffer& ThreadNameBuffer()
{
    static TThreadNameBuffer buffer;
    return buffer;
}

TBufferOpen TThreadNameBuffer::Open()
{
    if (data_)
        return TBufferOpen::Opened;
    TNamedObjectSecurity security;
    const UnicodeString name = BufferName();
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                              sizeof(TThreadNameBufferData), reinterpret_cast<const wchar_t*>(name.c_str()));
    if (!mapping)
        return TBufferOpen::Failed;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    auto* data = static_cast<TThreadNameBufferData*>(g_viewMapper(mapping, sizeof(TThreadNameBufferData)));
    if (!data) {
        CloseHandle(mapping);
        return existed ? TBufferOpen::Failed : TBufferOpen::NewUnmapped;
    }
    data_ = data;
    if (existed) {
        // The creator's mapping handle keeps the buffer alive; this copy needs only its view.
        CloseHandle(mapping);
        InterlockedIncrement(&data->useCount);
        return TBufferOpen::Opened;
    }
    data->useCount = 1;
    data->watchdogMutex = CreateMutexW(security.Attributes(), FALSE, nullptr);
    data->listMutex = CreateMutexW(security.Attributes(), FALSE, nullptr);
    data->head = nullptr;
    data->mapping = mapping;
    return TBufferOpen::Created;
}

void TThreadNameBuffer::Close()
{
    TThreadNameBufferData* data = data_;
    if (!data)
        return;
    data_ = nullptr;
    if (InterlockedDecrement(&data->useCount) != 0) {
        UnmapViewOfFile(data);
        return;
    }
    for (TThreadEntry* entry = data->head; entry;) {
        TThreadEntry* next = entry->next;
        FreeThreadEntry(entry);
        entry = next;
    }
    data->head = nullptr;
    const HANDLE mapping = data->mapping;
    CloseHandle(data->watchdogMutex);
    CloseHandle(data->listMutex);
    UnmapViewOfFile(data);
    CloseHandle(mapping);
}

TListMutexLock::TListMutexLock(const TThreadNameBufferData& data, DWORD timeout) : mutex_(data.listMutex)
{
    const DWORD result = WaitForSingleObject(mutex_, timeout);
    owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

TListMutexLock::~TListMutexLock()
{
    if (owned_)
        ReleaseMutex(mutex_);
}

bool EntryHolds(const TThreadEntry* entry, size_t fieldEnd)
{
    return SharedSize(entry) >= fieldEnd;
}

void FreeThreadEntry(TThreadEntry* entry)
{
    if (!entry)
        return;
    FreeDualText(entry->name);
    if (EntryHolds(entry, offsetof(TThreadEntry, description) + sizeof entry->description))
        FreeDualText(entry->description);
    if (EntryHolds(entry, offsetof(TThreadEntry, handle) + sizeof entry->handle) && entry->handle)
        CloseHandle(entry->handle);
    SharedFree(entry);
}
