#pragma once
// The settings of every module that carries a settings resource, kept once per process: each
// copy of the library finds one shared block through the named mapping "zelExceptSettingsBuf2"
// + process suffix, and the block holds one node per module. The layouts are shared between
// copies and must not change.
#include <windows.h>

#include <cstdint>
#include <string_view>

#include "settings/SettingKinds.h"
#include "text/ZelTypes.h"

#pragma pack(push, 1)
struct TSettingRecord {
    char* name;     // NUL-terminated ANSI, on the process heap
    uint8_t kind;   // TSettingKind
    uint8_t boolean;
    int32_t integer;
    void* text;     // dual text block, or null for an empty text
};
#pragma pack(pop)
static_assert(sizeof(TSettingRecord) == 6 + 2 * sizeof(void*));

struct TSettingsNode {
    LONG useCount;
    HMODULE module;
    int32_t capacity;
    int32_t count;
    TSettingRecord* records;
    TSettingsNode* next;
};

struct TSharedSettingsBlock {
    LONG useCount;
    HANDLE mapping;
    CRITICAL_SECTION lock;
    TSettingsNode* head;
    uint32_t unused;
};

// Appends a record, growing the array by 20 records when it is full; the index of the record.
int AddSettingRecord(int32_t& capacity, int32_t& count, TSettingRecord*& records, const TSettingValue& value);
// The first record of that name (case-sensitive), or -1.
int FindSettingRecord(int32_t count, const TSettingRecord* records, std::string_view name);
// Stores a text in a record, freeing its old one.
void StoreSettingText(TSettingRecord& record, std::u16string_view text);

// The module's own "TZELEXCEPT" resource.
HRSRC FindSettingsResource(HMODULE module);

bool OpenSettingsBuffer();
void CloseSettingsBuffer();
// The shared block while this copy has it open, else null.
TSharedSettingsBlock* SettingsBlock();

TSettingsNode* AcquireModuleSettings(HMODULE module);
void ReleaseModuleSettings(TSettingsNode* node);
void ReloadModuleSettings(TSettingsNode* node);

// Where the store's messages and the library's other internal errors go (a message box,
// captioned "zelExcept", unless replaced).
using TSettingsMessageSink = void (*)(const AnsiString& message);
TSettingsMessageSink SetSettingsMessageSink(TSettingsMessageSink sink);
void ShowInternalMessage(const AnsiString& message);
