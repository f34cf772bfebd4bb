#pragma once
// What the builder is told of one exception, freeze or process trace, and the settings that
// shape its report.
#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

#include "text/ZelTypes.h"

struct TReportOptions {
    bool listThreads = true;
    bool cpuRegs = true;
    bool stackDump = true;
    bool showDisAsm = true;
    bool hideUglyItems = false;
    bool showRelAddrs = true;
    bool showRelLines = true;
    bool formatDisAsm = false;
    int limitDisAsm = 5;
    UnicodeString frozenMsg = u"The application seems to be frozen.";
};

// A plug-in's text routine; it may raise.
struct TReportPlugin {
    UnicodeString name;
    std::function<UnicodeString()> text;
};

// An exception that was active when the reported one was raised.
struct TInnerExceptionFacts {
    uint32_t threadId = 0;
    uintptr_t address = 0;
    UnicodeString className;
    UnicodeString message;
    std::optional<CONTEXT> context;
};

struct TReportSubject {
    bool frozen = false;          // the main thread is frozen: no exception, no class
    bool processTrace = false;    // every thread, no exception
    uint32_t crashedThreadId = 0; // the thread that raised (or the frozen main thread)
    uintptr_t exceptAddress = 0;
    std::optional<CONTEXT> context; // registers at the exception
    UnicodeString exceptClass;
    UnicodeString exceptMessage;
    SYSTEMTIME exceptTime{};
    HMODULE module = nullptr; // whose settings govern the report
    UnicodeString versionText;
    UnicodeString errorDetails; // what the user said happened; empty for none
    TReportOptions options;
    bool disassembler = true; // the disassembler is linked in
    std::vector<TReportPlugin> headerPlugins;
    std::vector<TReportPlugin> sectionPlugins;
    std::vector<TInnerExceptionFacts> innerExceptions;
    std::vector<uint32_t> hiddenThreads; // the library's own threads, never reported
};
