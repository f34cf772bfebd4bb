#include "settings/win/ZeSettings.h"

#include <mutex>

#include "disasm/win/GuardedRead.h"
#include "settings/win/DualText.h"
#include "settings/win/SettingPlaceholders.h"

namespace {

constexpr size_t kMaxVersionText = 260;
constexpr std::string_view kUnexpandedSetting = "FrozenMsg";

std::mutex g_mainLock;
TSettingsRef g_main;

bool HasRealSettings(const TSettingsRef& settings)
{
    return settings && settings->Node() && !settings->GetSettingBool("NoSettings");
}

bool IsModuleWithResource(HMODULE module)
{
    wchar_t name[2];
    return module && GetModuleFileNameW(module, name, 2) != 0 && FindSettingsResource(module);
}

// The allocation base of a committed, accessible region that starts an image.
HMODULE ModuleAt(const MEMORY_BASIC_INFORMATION& region)
{
    if (region.State != MEM_COMMIT || region.Protect == PAGE_NOACCESS || (region.Protect & PAGE_GUARD))
        return nullptr;
    return static_cast<HMODULE>(region.AllocationBase);
}

// The main settings' answer, by their own order; the type's empty value without them.
template <typename T>
T AskMainSettings(TSettingName name, T (IZESettingsAccess::*getter)(TSettingName))
{
    const TSettingsRef main = MainSettings();
    return main ? ((*main).*getter)(name) : T{};
}

} // namespace

HMODULE CrashLibraryModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&CrashLibraryModule), &module);
    return module;
}

TSettingsRef MainSettings()
{
    const std::lock_guard guard(g_mainLock);
    return g_main;
}

void SetMainSettings(TSettingsRef settings)
{
    TSettingsRef previous;
    const std::lock_guard guard(g_mainLock);
    previous = std::move(g_main); // released after the lock, with the guard's end
    g_main = std::move(settings);
}

TIZESettings::TIZESettings(HMODULE module, bool load) : module_(module ? module : GetModuleHandleW(nullptr))
{
    if (!load)
        return;
    node_ = AcquireModuleSettings(module_);
    hasSettings_ = node_ != nullptr;
    ReadVersionText();
}

TIZESettings::~TIZESettings()
{
    LetGoOfLists();
    ReleaseModuleSettings(node_);
}

void TIZESettings::ReadVersionText()
{
    const int32_t offset = GetSettingInt("VersionVar");
    if (offset == 0)
        return;
    const uintptr_t slot = reinterpret_cast<uintptr_t>(module_) + static_cast<uint32_t>(offset);
    uintptr_t text = 0;
    if (!TryRead(slot, &text, sizeof text) || !text)
        return;
    AnsiString ansi;
    char c = 0;
    while (ansi.size() < kMaxVersionText && TryRead(text + ansi.size(), &c, 1) && c != '\0')
        ansi += c;
    versionText_ = SystemAnsiToWide(ansi);
}

void TIZESettings::ReloadSettings()
{
    ReloadModuleSettings(node_);
}

TFoundSetting TIZESettings::FindSetting(TSettingName name, bool fallback, TSettingKind kind, bool append)
{
    if (node_) {
        int index = FindSettingRecord(node_->count, node_->records, name);
        if (index < 0 && append)
            index = AddSettingRecord(node_->capacity, node_->count, node_->records,
                                     TSettingValue{std::string(name), kind, false, 0, {}});
        if (index >= 0)
            return {&node_->records[index], nullptr};
    }
    if (fallback)
        return {nullptr, FindBuiltinSetting(name)};
    return {};
}

bool TIZESettings::FallbackAllowed() const
{
    const TSettingsRef main = MainSettings();
    return !main || main->Module() == module_;
}

// Found here; none when the main settings are to be asked instead.
std::optional<TFoundSetting> TIZESettings::Lookup(TSettingName name)
{
    const bool fallback = FallbackAllowed();
    const TFoundSetting found = FindSetting(name, fallback, TSettingKind::Boolean, false);
    if (found || fallback)
        return found;
    return std::nullopt;
}

bool TIZESettings::GetSettingBool(TSettingName name)
{
    const auto found = Lookup(name);
    if (!found)
        return AskMainSettings(name, &IZESettingsAccess::GetSettingBool);
    if (found->record)
        return found->record->boolean != 0;
    return found->builtin && found->builtin->boolean;
}

int32_t TIZESettings::GetSettingInt(TSettingName name)
{
    const auto found = Lookup(name);
    if (!found)
        return AskMainSettings(name, &IZESettingsAccess::GetSettingInt);
    if (found->record)
        return found->record->integer;
    return found->builtin ? found->builtin->integer : 0;
}

UnicodeString TIZESettings::GetSettingText(TSettingName name)
{
    const auto found = Lookup(name);
    UnicodeString text;
    if (!found)
        return AskMainSettings(name, &IZESettingsAccess::GetSettingText);
    if (found->record)
        text = ReadDualText(found->record->text);
    else if (found->builtin && found->builtin->text)
        text = SystemAnsiToWide(found->builtin->text);
    if (name == kUnexpandedSetting)
        return text;
    TSettingPlaceholders values(module_, TExceptionPlaceholders::Unchanged());
    return ExpandPlaceholders(text, values);
}

TSettingRecord* TIZESettings::RecordToStore(TSettingName name, TSettingKind kind)
{
    if (!hasSettings_)
        return nullptr;
    const TFoundSetting found = FindSetting(name, false, kind, true);
    if (!found.record || found.record->kind != static_cast<uint8_t>(kind))
        return nullptr;
    return found.record;
}

bool TIZESettings::SetSettingBool(TSettingName name, bool value)
{
    TSettingRecord* record = RecordToStore(name, TSettingKind::Boolean);
    if (record)
        record->boolean = value ? 1 : 0;
    return record != nullptr;
}

bool TIZESettings::SetSettingInt(TSettingName name, int32_t value)
{
    TSettingRecord* record = RecordToStore(name, TSettingKind::Integer);
    if (record)
        record->integer = value;
    return record != nullptr;
}

bool TIZESettings::SetSettingText(TSettingName name, const UnicodeString& value)
{
    TSettingRecord* record = RecordToStore(name, TSettingKind::Text);
    if (record)
        StoreSettingText(*record, value);
    return record != nullptr;
}

TSettingsRef GetModuleSettings(HMODULE module)
{
    auto settings = std::make_shared<TIZESettings>(module, true);
    // The library is never a runtime package: a module without a node keeps its object.
    if (!settings->Node() || !settings->GetSettingBool("NoSettings"))
        return settings;
    TSettingsRef main = FindMainSettings();
    return HasRealSettings(main) ? main : settings;
}

TSettingsRef FindMainSettings()
{
    TSettingsRef result;
    const HMODULE own = CrashLibraryModule();
    if (FindSettingsResource(own))
        result = std::make_shared<TIZESettings>(own, true);
    if (!HasRealSettings(result)) {
        const HMODULE ide = GetModuleHandleW(L"zelExceptIde_.bpl");
        if (IsModuleWithResource(ide))
            result = std::make_shared<TIZESettings>(ide, true);
    }
    uintptr_t address = 0;
    const void* previousBase = nullptr;
    MEMORY_BASIC_INFORMATION region{};
    while (!HasRealSettings(result)
           && VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        const HMODULE module = ModuleAt(region);
        if (module && region.AllocationBase != previousBase && region.BaseAddress == region.AllocationBase) {
            previousBase = region.AllocationBase;
            if (IsModuleWithResource(module)) {
                auto candidate = std::make_shared<TIZESettings>(module, true);
                if (!result || HasRealSettings(candidate))
                    result = std::move(candidate);
            }
        }
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return result;
}

TSettingsRef GetSettingsOfAddress(const void* address)
{
    TSettingsRef result;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        const HMODULE module = ModuleAt(region);
        if (module && module != CrashLibraryModule() && IsModuleWithResource(module))
            result = std::make_shared<TIZESettings>(module, true);
    }
    if (!HasRealSettings(result)) {
        TSettingsRef main = FindMainSettings();
        if (!result || HasRealSettings(main))
            result = std::move(main);
    }
    if (!result)
        result = std::make_shared<TIZESettings>(CrashLibraryModule(), true);
    return result;
}

__attribute__((noinline)) TSettingsRef GetCallerSettings()
{
    return GetSettingsOfAddress(__builtin_return_address(0));
}

__attribute__((noinline)) TSettingsRef GetSettingsOfFrame(int levels)
{
    return GetSettingsOfAddress(
        reinterpret_cast<const void*>(FrameReturnAddress(__builtin_frame_address(0), levels)));
}

uintptr_t FrameReturnAddress(const void* frame, int levels)
{
    uintptr_t at = reinterpret_cast<uintptr_t>(frame);
    for (int level = 0;; ++level) {
        uintptr_t link[2] = {}; // the next frame, the return address
        if (at == 0 || at % sizeof(uintptr_t) != 0 || !TryRead(at, link, sizeof link))
            return 0;
        if (level >= levels)
            return link[1];
        if (link[0] <= at)
            return 0;
        at = link[0];
    }
}
