#include "model/win/OwnSettings.h"

#include <cstring>

#include "settings/win/DualText.h"

TOwnSettings::~TOwnSettings()
{
    for (TSettingRecord& record : records_) {
        SharedFree(record.name);
        FreeDualText(record.text);
    }
}

TSettingRecord* TOwnSettings::FindLocked(TSettingName name)
{
    for (TSettingRecord& record : records_)
        if (record.name && name == record.name)
            return &record;
    return nullptr;
}

TSettingRecord* TOwnSettings::Find(TSettingName name)
{
    const std::lock_guard guard(lock_);
    return FindLocked(name);
}

TSettingRecord* TOwnSettings::FindOrAdd(TSettingName name, TSettingKind kind)
{
    const std::lock_guard guard(lock_);
    if (TSettingRecord* found = FindLocked(name))
        return found;
    auto* copy = static_cast<char*>(SharedAlloc(name.size() + 1));
    if (!copy)
        return nullptr;
    std::memcpy(copy, name.data(), name.size());
    TSettingRecord& record = records_.emplace_back();
    record.name = copy;
    record.kind = static_cast<uint8_t>(kind);
    return &record;
}
