#include "dialog/ReportTabs.h"

#include <exception>

#include "dialog/CallStackTable.h"
#include "text/CaseFolding.h"

namespace {

struct TTabCaption {
    std::u16string_view section;
    std::u16string_view caption;
};

constexpr TTabCaption ShortCaptions[] = {
    {u"cpu registers", u"cpu regs"},
    {u"disassembling", u"disasm"},
};

UnicodeString TabCaption(std::u16string_view title)
{
    const std::u16string_view name = SectionName(title);
    for (const TTabCaption& entry : ShortCaptions) {
        if (SameTextW(name, entry.section))
            return UnicodeString(entry.caption);
    }
    return UnicodeString(name);
}

constexpr std::u16string_view kMemoryDump = u"memory dump";

// A leak report opens with the allocation's number instead of the exception's header.
bool IsLeakReport(const TReportContent& report)
{
    return !report.header.empty() && SameTextW(report.header.front().first, u"allocation number");
}

TViewTable InternalErrorTable()
{
    TViewTable table;
    table.columns.resize(1);
    table.rows.push_back(SpanningRow(u">> internal error", false));
    return table;
}

} // namespace

std::vector<TReportTab> BuildReportTabs(const TReportContent& report)
{
    const auto& sections = report.sections;
    std::vector<TReportTab> tabs;
    size_t next = 0;
    if (!IsLeakReport(report)) {
        tabs.push_back({u"general", TReportTabKind::General, {}});
    } else if (!sections.empty() && SameTextW(SectionName(sections.front().first), kMemoryDump)) {
        tabs.push_back({TabCaption(sections.front().first), TReportTabKind::Section, {0}});
        next = 1;
    }
    TReportTab stack{u"call stack", TReportTabKind::CallStack, {}};
    const size_t firstThread = next;
    while (next < sections.size() && IsThreadSection(sections[next].first))
        stack.sections.push_back(next++);
    if (sections.size() >= firstThread + 2 && IsThreadSection(sections[firstThread + 1].first))
        stack.caption += u's';
    tabs.push_back(std::move(stack));
    for (; next < sections.size(); ++next)
        tabs.push_back({TabCaption(sections[next].first), TReportTabKind::Section, {next}});
    return tabs;
}

UnicodeString CallStackText(const TReportContent& report, const std::vector<size_t>& sections)
{
    UnicodeString text;
    for (const size_t index : sections) {
        if (!text.empty())
            text += u"\r\n\r\n";
        text += u">> " + report.sections[index].first;
        if (!report.sections[index].second.empty())
            text += u"\r\n" + report.sections[index].second;
    }
    return text;
}

TViewTable BuildTabTable(const TReportContent& report, const TReportTab& tab)
{
    try {
        switch (tab.kind) {
        case TReportTabKind::General:
            return BuildHeaderTable(report.header);
        case TReportTabKind::CallStack:
            return BuildCallStackTable(CallStackText(report, tab.sections));
        case TReportTabKind::Section:
            break;
        }
        const auto& [title, body] = report.sections[tab.sections.front()];
        return BuildSectionTable(SectionName(title), body);
    } catch (const std::exception&) {
        return InternalErrorTable();
    }
}
