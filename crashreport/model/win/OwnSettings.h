#pragma once
// The settings that one exception object holds for itself: records of the shared layout whose
// addresses stay put while more are added, freed with the object.
#include <deque>
#include <mutex>

#include "settings/SettingAccessors.h"
#include "settings/SettingKinds.h"
#include "settings/win/SharedSettings.h"

class TOwnSettings {
public:
    TOwnSettings() = default;
    ~TOwnSettings();
    TOwnSettings(const TOwnSettings&) = delete;
    TOwnSettings& operator=(const TOwnSettings&) = delete;

    // Null when absent.
    TSettingRecord* Find(TSettingName name);
    // The record of that name, added empty of that kind when absent; null when out of memory.
    TSettingRecord* FindOrAdd(TSettingName name, TSettingKind kind);

private:
    TSettingRecord* FindLocked(TSettingName name);

    std::mutex lock_;
    std::deque<TSettingRecord> records_;
};
