#pragma once
// Two pages: the first readable and writable, the second no-access. Whatever runs from the
// first into the second, or starts in the second, faults at the edge between them.
#include <windows.h>

#include <cstddef>
#include <cstdint>

class TEdgePages {
public:
    static constexpr size_t kPage = 4096;

    TEdgePages() : base_(static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT, PAGE_READWRITE)))
    {
        DWORD old = 0;
        VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
    }
    ~TEdgePages() { VirtualFree(base_, 0, MEM_RELEASE); }
    TEdgePages(const TEdgePages&) = delete;
    TEdgePages& operator=(const TEdgePages&) = delete;

    // The start of the no-access page.
    char* Edge() const { return base_ + kPage; }
    bool InNoAccessPage(uintptr_t address) const
    {
        const auto edge = reinterpret_cast<uintptr_t>(Edge());
        return address >= edge && address < edge + kPage;
    }

private:
    char* base_;
};
