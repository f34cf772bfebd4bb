#include "settings/win/SharedSettings.h"

#include <cstring>
#include <span>

#include "engine/EngineText.h"
#include "settings/SettingsResource.h"
#include "settings/StoredPasswords.h"
#include "settings/win/DualText.h"
#include "settings/win/NamedObjectSecurity.h"

namespace {

constexpr int32_t kFirstCapacity = 147;
constexpr int32_t kGrowth = 20;
constexpr const wchar_t* kResourceName = L"TZELEXCEPT";

void ShowMessageBox(const AnsiString& message)
{
    MessageBoxA(nullptr, message.c_str(), "zelExcept", MB_OK);
}

TSettingsMessageSink g_messageSink = ShowMessageBox;

// This copy's view of the mapping (it holds the block's address) and its own opens.
TSharedSettingsBlock** g_view = nullptr;
int g_copyOpens = 0;

UnicodeString NamedObject(const char16_t* prefix)
{
    return prefix + ProcessSuffix(GetCurrentProcessId());
}

const wchar_t* Wide(const UnicodeString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The named mutex that serialises opening and closing of the block, owned while it lives.
class TSettingsMutexLock {
public:
    TSettingsMutexLock()
    {
        TNamedObjectSecurity security;
        mutex_ = CreateMutexW(security.Attributes(), FALSE, Wide(NamedObject(u"zelExceptSettingsMtx")));
        if (mutex_) {
            const DWORD result = WaitForSingleObject(mutex_, INFINITE);
            owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        }
    }
    ~TSettingsMutexLock()
    {
        if (owned_)
            ReleaseMutex(mutex_);
        if (mutex_)
            CloseHandle(mutex_);
    }
    TSettingsMutexLock(const TSettingsMutexLock&) = delete;
    TSettingsMutexLock& operator=(const TSettingsMutexLock&) = delete;

private:
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
};

class TBlockLock {
public:
    explicit TBlockLock(TSharedSettingsBlock& block) : block_(block) { EnterCriticalSection(&block_.lock); }
    ~TBlockLock() { LeaveCriticalSection(&block_.lock); }
    TBlockLock(const TBlockLock&) = delete;
    TBlockLock& operator=(const TBlockLock&) = delete;

private:
    TSharedSettingsBlock& block_;
};

TSharedSettingsBlock** MapView(HANDLE mapping)
{
    return static_cast<TSharedSettingsBlock**>(
        MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(TSharedSettingsBlock*)));
}

TSharedSettingsBlock** CreateBlock(const UnicodeString& name)
{
    TNamedObjectSecurity security;
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                              sizeof(TSharedSettingsBlock*), Wide(name));
    if (!mapping)
        return nullptr;
    TSharedSettingsBlock** view = MapView(mapping);
    auto* block = static_cast<TSharedSettingsBlock*>(
        VirtualAlloc(nullptr, sizeof(TSharedSettingsBlock), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!view || !block) {
        if (view)
            UnmapViewOfFile(view);
        if (block)
            VirtualFree(block, 0, MEM_RELEASE);
        CloseHandle(mapping);
        return nullptr;
    }
    std::memset(block, 0, sizeof *block);
    block->mapping = mapping;
    InitializeCriticalSection(&block->lock);
    *view = block;
    return view;
}

TSharedSettingsBlock** OpenBlock(const UnicodeString& name)
{
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, Wide(name));
    if (!mapping)
        return nullptr;
    TSharedSettingsBlock** view = MapView(mapping);
    CloseHandle(mapping); // the creator's handle keeps the mapping
    return view;
}

void FreeRecords(TSettingsNode& node)
{
    for (int32_t i = 0; i < node.count; ++i) {
        SharedFree(node.records[i].name);
        FreeDualText(node.records[i].text);
    }
    SharedFree(node.records);
    node.records = nullptr;
    node.capacity = 0;
    node.count = 0;
}

// The resource's bytes, never more than the resource's own size.
std::span<const uint8_t> ResourceBytes(HMODULE module)
{
    const HRSRC resource = FindSettingsResource(module);
    if (!resource)
        return {};
    const HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return {static_cast<const uint8_t*>(data), SizeofResource(module, resource)};
}

UnicodeString DecodeAnsi(std::string_view text)
{
    return SystemAnsiToWide(text);
}

void LoadModuleSettings(TSettingsNode& node)
{
    TParsedSettings parsed = ParseSettingsResource(ResourceBytes(node.module), DecodeAnsi);
    if (!parsed.headerValid)
        return;
    DecipherStoredPasswords(parsed.records);
    node.records = static_cast<TSettingRecord*>(SharedAlloc(kFirstCapacity * sizeof(TSettingRecord)));
    if (!node.records)
        return;
    node.capacity = kFirstCapacity;
    for (const TSettingValue& value : parsed.records)
        AddSettingRecord(node.capacity, node.count, node.records, value);
    if (parsed.badType)
        g_messageSink(InvalidSettingsResourceText(*parsed.badType));
}

} // namespace

TSettingsMessageSink SetSettingsMessageSink(TSettingsMessageSink sink)
{
    const TSettingsMessageSink previous = g_messageSink;
    g_messageSink = sink ? sink : ShowMessageBox;
    return previous;
}

void ShowInternalMessage(const AnsiString& message)
{
    g_messageSink(message);
}

int AddSettingRecord(int32_t& capacity, int32_t& count, TSettingRecord*& records, const TSettingValue& value)
{
    if (count >= capacity || !records) {
        const int32_t grown = (records ? capacity : 0) + kGrowth;
        auto* larger = static_cast<TSettingRecord*>(SharedAlloc(static_cast<size_t>(grown) * sizeof(TSettingRecord)));
        if (!larger)
            return -1;
        if (records)
            std::memcpy(larger, records, static_cast<size_t>(count) * sizeof(TSettingRecord));
        SharedFree(records);
        records = larger;
        capacity = grown;
    }
    TSettingRecord& record = records[count];
    record = TSettingRecord{};
    record.name = static_cast<char*>(SharedAlloc(value.name.size() + 1));
    if (record.name)
        std::memcpy(record.name, value.name.data(), value.name.size());
    record.kind = static_cast<uint8_t>(value.kind);
    record.boolean = value.boolean ? 1 : 0;
    record.integer = value.integer;
    record.text = MakeDualText(value.text);
    return count++;
}

int FindSettingRecord(int32_t count, const TSettingRecord* records, std::string_view name)
{
    for (int32_t i = 0; i < count; ++i)
        if (records[i].name && name == records[i].name)
            return i;
    return -1;
}

void StoreSettingText(TSettingRecord& record, std::u16string_view text)
{
    FreeDualText(record.text);
    record.text = MakeDualText(text);
}

HRSRC FindSettingsResource(HMODULE module)
{
    return module ? FindResourceW(module, kResourceName, MAKEINTRESOURCEW(10)) : nullptr;
}

bool OpenSettingsBuffer()
{
    const TSettingsMutexLock lock;
    if (!g_view) {
        const UnicodeString name = NamedObject(u"zelExceptSettingsBuf2");
        g_view = OpenBlock(name);
        if (!g_view)
            g_view = CreateBlock(name);
        if (!g_view) {
            g_messageSink("internal error (opening settings buffer)");
            return false;
        }
    }
    InterlockedIncrement(&(*g_view)->useCount);
    ++g_copyOpens;
    return true;
}

void CloseSettingsBuffer()
{
    const TSettingsMutexLock lock;
    if (!g_view)
        return;
    TSharedSettingsBlock* block = *g_view;
    --g_copyOpens;
    if (InterlockedDecrement(&block->useCount) == 0) {
        const HANDLE mapping = block->mapping;
        DeleteCriticalSection(&block->lock);
        VirtualFree(block, 0, MEM_RELEASE);
        UnmapViewOfFile(g_view);
        g_view = nullptr;
        g_copyOpens = 0;
        CloseHandle(mapping);
        return;
    }
    if (g_copyOpens == 0) {
        // Others still use the block; this copy's view goes with its last user.
        UnmapViewOfFile(g_view);
        g_view = nullptr;
    }
}

TSharedSettingsBlock* SettingsBlock()
{
    return g_view ? *g_view : nullptr;
}

TSettingsNode* AcquireModuleSettings(HMODULE module)
{
    if (!FindSettingsResource(module) || !OpenSettingsBuffer())
        return nullptr;
    TSharedSettingsBlock& block = *SettingsBlock();
    const TBlockLock lock(block);
    TSettingsNode** link = &block.head;
    while (*link && (*link)->module != module)
        link = &(*link)->next;
    TSettingsNode* node = *link;
    if (!node) {
        node = static_cast<TSettingsNode*>(SharedAlloc(sizeof(TSettingsNode)));
        if (!node) {
            CloseSettingsBuffer();
            return nullptr;
        }
        node->module = module;
        *link = node;
        LoadModuleSettings(*node);
    }
    ++node->useCount;
    return node;
}

void ReleaseModuleSettings(TSettingsNode* node)
{
    TSharedSettingsBlock* block = SettingsBlock();
    if (!node || !block)
        return;
    {
        const TBlockLock lock(*block);
        if (node->useCount == 1) {
            for (TSettingsNode** link = &block->head; *link; link = &(*link)->next) {
                if (*link == node) {
                    *link = node->next;
                    break;
                }
            }
            FreeRecords(*node);
            SharedFree(node);
        } else
            --node->useCount;
    }
    CloseSettingsBuffer();
}

void ReloadModuleSettings(TSettingsNode* node)
{
    TSharedSettingsBlock* block = SettingsBlock();
    if (!node || !block)
        return;
    const TBlockLock lock(*block);
    FreeRecords(*node);
    LoadModuleSettings(*node);
}
