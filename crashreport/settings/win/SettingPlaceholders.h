#pragma once
// The values of the placeholders in setting texts, taken from the running process.
#include <windows.h>

#include "settings/Placeholders.h"

// The four values an exception gives; a plain settings object passes the placeholders on.
struct TExceptionPlaceholders {
    UnicodeString exceptClass;
    UnicodeString exceptMsg;
    UnicodeString bugReport;
    UnicodeString errorDetails;

    static TExceptionPlaceholders Unchanged()
    {
        return {u"%exceptClass%", u"%exceptMsg%", u"%bugReport%", u"%errorDetails%"};
    }
};

class TSettingPlaceholders : public IPlaceholderValues {
public:
    TSettingPlaceholders(HMODULE module, TExceptionPlaceholders exception)
        : module_(module), exception_(std::move(exception)) {}
    UnicodeString Value(TPlaceholder placeholder) override;

private:
    UnicodeString VersionOf(HMODULE module) const;

    HMODULE module_;
    TExceptionPlaceholders exception_;
};
