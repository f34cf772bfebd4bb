#pragma once
// The settings object of one module: typed access by name to the module's shared records,
// falling back to the main settings and the built-in table.
#include <windows.h>

#include <memory>
#include <optional>

#include "settings/BuiltinSettings.h"
#include "settings/SettingAccessors.h"
#include "settings/win/SharedSettings.h"

// A record of a module's list, or one of the built-in table.
struct TFoundSetting {
    TSettingRecord* record = nullptr;
    const TBuiltinSetting* builtin = nullptr;
    explicit operator bool() const { return record || builtin; }
};

class TIZESettings : public IZEModuleSettings {
public:
    // With load set, the module's node is acquired (0: the main program).
    TIZESettings(HMODULE module, bool load);
    ~TIZESettings() override;
    TIZESettings(const TIZESettings&) = delete;
    TIZESettings& operator=(const TIZESettings&) = delete;

    bool GetSettingBool(TSettingName name) override;
    int32_t GetSettingInt(TSettingName name) override;
    UnicodeString GetSettingText(TSettingName name) override;
    bool SetSettingBool(TSettingName name, bool value) override;
    bool SetSettingInt(TSettingName name, int32_t value) override;
    bool SetSettingText(TSettingName name, const UnicodeString& value) override;

    bool HasSettings() override { return hasSettings_; }
    void ReloadSettings() override;

    HMODULE Module() const { return module_; }
    TSettingsNode* Node() const { return node_; }
    // From VersionVar: the text a pointer at module base + VersionVar leads to.
    const UnicodeString& VersionText() const { return versionText_; }

    // The record of that name: the module's own, a new one of that kind when append is set,
    // else the built-in one when fallback is set.
    virtual TFoundSetting FindSetting(TSettingName name, bool fallback, TSettingKind kind, bool append);

private:
    bool FallbackAllowed() const;
    std::optional<TFoundSetting> Lookup(TSettingName name);
    TSettingRecord* RecordToStore(TSettingName name, TSettingKind kind);
    void ReadVersionText();

    bool hasSettings_ = false;
    HMODULE module_;
    TSettingsNode* node_ = nullptr;
    UnicodeString versionText_;
};

using TSettingsRef = std::shared_ptr<TIZESettings>;

// The settings that apply to a module (0: the main program).
TSettingsRef GetModuleSettings(HMODULE module);
// The settings of the process's main module that carries real settings.
TSettingsRef FindMainSettings();
// The settings of the module that holds a code address.
TSettingsRef GetSettingsOfAddress(const void* address);
// The settings of the module whose code called this routine.
TSettingsRef GetCallerSettings();
// The settings of the module of the return address that many frames up the frame-pointer chain
// (0: this routine's caller, 1: the caller's caller, ...); a broken chain gives what
// GetSettingsOfAddress gives for an address of no module.
TSettingsRef GetSettingsOfFrame(int levels);
// The return address of the frame that many links up the chain from the given frame (each frame
// starts with the next one's address, the return address above it); 0 when a link cannot be
// read or does not lead up the stack.
uintptr_t FrameReturnAddress(const void* frame, int levels);

// The process-wide main settings of this copy, set at start-up; null before.
TSettingsRef MainSettings();
void SetMainSettings(TSettingsRef settings);
// The module of this copy of the library.
HMODULE CrashLibraryModule();
