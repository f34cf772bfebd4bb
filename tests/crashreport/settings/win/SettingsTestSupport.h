#pragma once
// What the settings tests share: a module loaded for one test, and the messages the
// settings store reports.
#include <windows.h>

#include <vector>

#include "settings/win/DualText.h"

class TLoadedModule {
public:
    explicit TLoadedModule(const wchar_t* name) : module_(LoadLibraryW(name)) {}
    ~TLoadedModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    TLoadedModule(const TLoadedModule&) = delete;
    TLoadedModule& operator=(const TLoadedModule&) = delete;
    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

// The messages collected since a test cleared them.
inline std::vector<AnsiString> g_messages;

inline void CollectMessage(const AnsiString& message)
{
    g_messages.push_back(message);
}
