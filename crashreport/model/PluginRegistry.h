#pragma once
// The process-wide registry of bug-report plug-ins: named text routines whose text becomes a
// report section of its own or one header field. Lookups go by the "|"-separated names of the
// setting Plugins, ignoring case; the first entry of a name wins.
#include <functional>
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

struct IZEException;

using TPluginProcA = void (*)(AnsiString& text);
using TPluginProcW = void (*)(UnicodeString& text);
using TPluginProcExA = void (*)(IZEException* exception, AnsiString& text);
using TPluginProcExW = void (*)(IZEException* exception, UnicodeString& text);

struct TBugReportPlugin {
    UnicodeString name;
    UnicodeString description;
    TPluginProcA procA = nullptr;
    TPluginProcW procW = nullptr;
    TPluginProcExA procExA = nullptr;
    TPluginProcExW procExW = nullptr;
    bool inSections = false;
};

// Appends an entry; a name already registered stays, and lookups keep finding the first.
void RegisterBugReportPlugin(const UnicodeString& name, const UnicodeString& description, TPluginProcW proc,
                             bool inSections);
// The same for an entry of any of the four routine kinds.
void RegisterBugReportPlugin(const TBugReportPlugin& plugin);
// Removes the first entry of exactly that name (case-sensitive); nothing when absent.
void UnregisterBugReportPlugin(std::u16string_view name);
void ClearBugReportPlugins();
std::vector<TBugReportPlugin> BugReportPlugins();

// The entries the setting names, in its order, of the kind asked (sections or header fields);
// names that match nothing are skipped.
std::vector<TBugReportPlugin> SelectBugReportPlugins(std::u16string_view pluginsSetting, bool inSections);

// Turns 8-bit plug-in text into wide text (the system's code page under Windows).
using TAnsiToWide = std::function<UnicodeString(std::string_view)>;
// The entry's text from the first routine it has, in the order A, W, ExA, ExW. Exceptions of
// the routine pass to the caller, which reports them in the routine's place.
UnicodeString BugReportPluginText(const TBugReportPlugin& plugin, IZEException* exception,
                                  const TAnsiToWide& ansiToWide);
