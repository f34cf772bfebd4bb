#pragma once
// The bug-report file: reports one after the other, each written as CR LF CR LF and its text,
// so that each starts with its "date/time" line. A new report replaces the latest earlier copy
// of the same crash (and counts the copies), and the oldest reports go when the file grew
// beyond its size.
#include <cstdint>
#include <string>
#include <string_view>

struct TBugReportFileRules {
    bool append = true; // else the file holds only the new report
    // Duplicates of crashes ("exception class" set) and of freezes; the definition compares the
    // first checksum (0), the first two (1) or all three of "callstack crc".
    bool noDupExcepts = true;
    int32_t dupExceptDef = 1;
    bool noDupFreezes = true;
    int32_t dupFreezeDef = 1;
    int64_t maxFileSize = 0; // 0: no limit
};

// The file's new content; `report` is in the file's 8-bit code page.
std::string UpdateBugReportFile(std::string_view file, std::string_view report, const TBugReportFileRules& rules);
