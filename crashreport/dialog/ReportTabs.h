#pragma once
// The tabs of the report: "general" (the header), "call stack" (the leading run of thread
// sections), then one tab per further section. A leak report has no "general" tab: it starts
// with its "memory dump" section when that comes first, else with the call stack.
#include <vector>

#include "dialog/ReportContent.h"
#include "dialog/ViewTable.h"

enum class TReportTabKind { General, CallStack, Section };

struct TReportTab {
    UnicodeString caption;
    TReportTabKind kind = TReportTabKind::Section;
    // Indexes into the report's sections.
    std::vector<size_t> sections;
};

std::vector<TReportTab> BuildReportTabs(const TReportContent& report);

// The view of one tab; a failure while the rows are made shows ">> internal error".
TViewTable BuildTabTable(const TReportContent& report, const TReportTab& tab);

// The thread sections as one text: each title as a ">> " line over its stack, an empty line
// between sections.
UnicodeString CallStackText(const TReportContent& report, const std::vector<size_t>& sections);
