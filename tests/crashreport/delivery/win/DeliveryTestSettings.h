#pragma once
// Settings held in a delivery test; what is not set reads as false, 0 or "".
#include <map>
#include <string>

#include "settings/SettingAccessors.h"

class TDeliveryTestSettings : public IZESettings {
public:
    bool GetSettingBool(TSettingName name) override { return ints[std::string(name)] != 0; }
    int32_t GetSettingInt(TSettingName name) override { return ints[std::string(name)]; }
    UnicodeString GetSettingText(TSettingName name) override { return texts[std::string(name)]; }
    bool SetSettingBool(TSettingName name, bool value) override { return ints[std::string(name)] = value, true; }
    bool SetSettingInt(TSettingName name, int32_t value) override { return ints[std::string(name)] = value, true; }
    bool SetSettingText(TSettingName name, const UnicodeString& value) override
    {
        return texts[std::string(name)] = value, true;
    }

    std::map<std::string, int32_t> ints;
    std::map<std::string, UnicodeString> texts;
};

inline UnicodeString Utf16(const std::string& text) { return UnicodeString(text.begin(), text.end()); }
