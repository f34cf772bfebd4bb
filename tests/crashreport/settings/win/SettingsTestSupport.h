#pragma once
// What the settings tests share: the messages the settings store reports.
#include <windows.h>

#include <vector>

#include "settings/win/DualText.h"
#include "support/LoadedModule.h"

// The messages collected since a test cleared them.
inline std::vector<AnsiString> g_messages;

inline void CollectMessage(const AnsiString& message)
{
    g_messages.push_back(message);
}
