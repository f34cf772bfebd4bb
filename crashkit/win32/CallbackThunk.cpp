#include "win32/CallbackThunk.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr size_t kSlotSize = 64;
constexpr size_t kPoolPage = 4096;

#if defined(__x86_64__)
// sub rsp,38h / mov [rsp+20h],r9 / mov r9,r8 / mov r8,rdx / mov rdx,rcx /
// mov rcx,context / mov rax,target / call rax / add rsp,38h / ret
// The four register arguments move up by one, the fourth to the stack slot of a fifth.
constexpr uint8_t kCode[] = {0x48, 0x83, 0xEC, 0x38, 0x4C, 0x89, 0x4C, 0x24, 0x20, 0x4D, 0x89, 0xC1,
                             0x49, 0x89, 0xD0, 0x48, 0x89, 0xCA, 0x48, 0xB9, 0, 0, 0, 0, 0, 0, 0, 0,
                             0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x38, 0xC3};
constexpr size_t kContextAt = 20;
constexpr size_t kTargetAt = 30;

void Fill(uint8_t* slot, void* context, const void* target)
{
    std::memcpy(slot, kCode, sizeof kCode);
    const auto contextValue = reinterpret_cast<uintptr_t>(context);
    const auto targetValue = reinterpret_cast<uintptr_t>(target);
    std::memcpy(slot + kContextAt, &contextValue, sizeof contextValue);
    std::memcpy(slot + kTargetAt, &targetValue, sizeof targetValue);
}
#elif defined(__i386__)
// pop eax / push context / push eax / jmp [slot]: the context becomes the first stack
// argument under the caller's return address; the target's address follows the code.
constexpr uint8_t kCode[] = {0x58, 0x68, 0, 0, 0, 0, 0x50, 0xFF, 0x25, 0, 0, 0, 0};
constexpr size_t kContextAt = 2;
constexpr size_t kSlotAddressAt = 9;

void Fill(uint8_t* slot, void* context, const void* target)
{
    std::memcpy(slot, kCode, sizeof kCode);
    const auto contextValue = reinterpret_cast<uint32_t>(context);
    const auto targetValue = reinterpret_cast<uint32_t>(target);
    const auto targetSlot = reinterpret_cast<uint32_t>(slot + sizeof kCode);
    std::memcpy(slot + kContextAt, &contextValue, 4);
    std::memcpy(slot + kSlotAddressAt, &targetSlot, 4);
    std::memcpy(slot + sizeof kCode, &targetValue, 4);
}
#else
#error "callback thunks exist for i686 and x86_64"
#endif

static_assert(sizeof kCode + sizeof(void*) <= kSlotSize);

#if defined(__x86_64__)
// Each page starts with the unwind data of its stubs, so that exceptions and stack walks
// pass through them: one 38h-byte allocation in a 4-byte prologue.
constexpr size_t kPageHeader = 1024;
constexpr uint8_t kUnwindInfo[] = {0x01, 0x04, 0x01, 0x00, 0x04, 0x62, 0x00, 0x00};
constexpr size_t kFunctionTableAt = 16;
constexpr size_t kSlotsPerPage = (kPoolPage - kPageHeader) / kSlotSize;
static_assert(kFunctionTableAt + kSlotsPerPage * sizeof(RUNTIME_FUNCTION) <= kPageHeader);

void DescribePage(uint8_t* page)
{
    std::memcpy(page, kUnwindInfo, sizeof kUnwindInfo);
    auto* table = reinterpret_cast<RUNTIME_FUNCTION*>(page + kFunctionTableAt);
    for (size_t i = 0; i < kSlotsPerPage; ++i) {
        const auto begin = static_cast<DWORD>(kPageHeader + i * kSlotSize);
        table[i] = {begin, static_cast<DWORD>(begin + sizeof kCode), 0};
    }
    RtlAddFunctionTable(table, kSlotsPerPage, reinterpret_cast<DWORD64>(page));
}

void ForgetPage(uint8_t* page)
{
    RtlDeleteFunctionTable(reinterpret_cast<RUNTIME_FUNCTION*>(page + kFunctionTableAt));
}
#else
constexpr size_t kPageHeader = 0;

void DescribePage(uint8_t*)
{
}

void ForgetPage(uint8_t*)
{
}
#endif

// Set once the pool is gone at unload: holders destroyed later have nothing to give back.
std::atomic<bool> poolReleased{false};

class TThunkPool {
public:
    ~TThunkPool()
    {
        poolReleased = true;
        for (void* page : pages_) {
            ForgetPage(static_cast<uint8_t*>(page));
            VirtualFree(page, 0, MEM_RELEASE);
        }
    }

    void* Take(void* context, const void* target)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (free_.empty() && !Grow())
            return nullptr;
        auto* slot = static_cast<uint8_t*>(free_.back());
        free_.pop_back();
        Fill(slot, context, target);
        FlushInstructionCache(GetCurrentProcess(), slot, kSlotSize);
        return slot;
    }

    void Give(void* slot)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        free_.push_back(slot);
    }

private:
    bool Grow()
    {
        void* page = VirtualAlloc(nullptr, kPoolPage, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
        if (!page)
            return false;
        pages_.push_back(page);
        DescribePage(static_cast<uint8_t*>(page));
        for (size_t offset = kPoolPage; offset >= kPageHeader + kSlotSize; offset -= kSlotSize)
            free_.push_back(static_cast<uint8_t*>(page) + offset - kSlotSize);
        return true;
    }

    std::mutex lock_;
    std::vector<void*> pages_;
    std::vector<void*> free_;
};

TThunkPool& Pool()
{
    static TThunkPool pool;
    return pool;
}

} // namespace

TCallbackThunk::~TCallbackThunk()
{
    if (code_ && !poolReleased)
        Pool().Give(code_);
}

TCallbackThunk& TCallbackThunk::operator=(TCallbackThunk&& other) noexcept
{
    if (this != &other) {
        if (code_ && !poolReleased)
            Pool().Give(code_);
        code_ = other.code_;
        other.code_ = nullptr;
    }
    return *this;
}

TCallbackThunk MakeCallbackThunk(void* context, const void* target)
{
    return TCallbackThunk(target && !poolReleased ? Pool().Take(context, target) : nullptr);
}
