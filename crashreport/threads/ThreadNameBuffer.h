#pragma once
// The process-wide thread-name buffer: one small named mapping that every copy of the library
// in the process maps, holding the freeze watchdog's mutex, the list mutex and the head of the
// thread-name list; its use count tells the last copy to go.
#include <windows.h>

#include <cstdint>

struct TThreadEntry {
    DWORD threadId;
    void* name;            // dual text block or null
    TThreadEntry* next;
    // Only in blocks that reach them (entries of older copies may end after next):
    void* description;     // dual text block or null
    void* startAddress;
    DWORD creatorThreadId;
    HANDLE handle;         // SYNCHRONIZE | THREAD_QUERY_INFORMATION
};

struct TThreadNameBufferData {
    HANDLE watchdogMutex;
    HANDLE listMutex;
    TThreadEntry* head;
    LONG useCount;
    HANDLE mapping;
};

// Failed: the buffer could not be made, or an existing one not mapped; NewUnmapped: a buffer this
// copy made could not be mapped.
enum class TBufferOpen : uint8_t { Created, Opened, Failed, NewUnmapped };

// Maps the buffer's view (MapViewOfFile unless a test replaces it); the previous mapper.
using TBufferViewMapper = void* (*)(HANDLE mapping, SIZE_T size);
TBufferViewMapper SetBufferViewMapper(TBufferViewMapper mapper);

class TThreadNameBuffer {
public:
    TThreadNameBuffer() = default;
    ~TThreadNameBuffer() { Close(); }
    TThreadNameBuffer(const TThreadNameBuffer&) = delete;
    TThreadNameBuffer& operator=(const TThreadNameBuffer&) = delete;

    // Creates or maps the buffer of this process; the creator fills it.
    TBufferOpen Open();
    // Lets go of the view; the last copy frees the list and closes the shared handles.
    void Close();
    TThreadNameBufferData* Data() const { return data_; }

private:
    TThreadNameBufferData* data_ = nullptr;
};

// The buffer of this copy of the library (not open until start-up opens it).
TThreadNameBuffer& ThreadNameBuffer();

// Owns the list mutex while it lives.
class TListMutexLock {
public:
    TListMutexLock(const TThreadNameBufferData& data, DWORD timeout);
    ~TListMutexLock();
    TListMutexLock(const TListMutexLock&) = delete;
    TListMutexLock& operator=(const TListMutexLock&) = delete;
    bool Owned() const { return owned_; }

private:
    HANDLE mutex_;
    bool owned_;
};

// Frees an entry, its texts and its handle.
void FreeThreadEntry(TThreadEntry* entry);
// Whether the entry's block reaches the field that ends at that offset.
bool EntryHolds(const TThreadEntry* entry, size_t fieldEnd);
