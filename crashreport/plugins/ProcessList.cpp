#include "plugins/ProcessList.h"

#include <algorithm>
#include <array>
#include <functional>

#include "plugins/ColumnText.h"
#include "text/NumberFormat.h"
#include "text/TextEdit.h"
#include "text/TextSearch.h"

namespace {

struct TPriorityName {
    uint32_t priorityClass;
    std::u16string_view name;
};

// The system's priority classes.
constexpr std::array<TPriorityName, 6> kPriorityNames = {{{0x40, u"idle"},
                                                          {0x4000, u"below normal"},
                                                          {0x20, u"normal"},
                                                          {0x8000, u"above normal"},
                                                          {0x80, u"high"},
                                                          {0x100, u"realtime"}}};

constexpr std::u16string_view kSystemRoot = u"\\SystemRoot\\System32";
constexpr std::u16string_view kDevicePrefix = u"\\??\\";

std::vector<UnicodeString> Column(const std::vector<TProcessRecord>& processes,
                                  const std::function<UnicodeString(const TProcessRecord&)>& value)
{
    std::vector<UnicodeString> column;
    for (const TProcessRecord& process : processes)
        column.push_back(value(process));
    return column;
}

} // namespace

UnicodeString PriorityClassName(uint32_t priorityClass)
{
    if (priorityClass == 0 || priorityClass == UINT32_MAX)
        return {};
    for (const TPriorityName& entry : kPriorityNames)
        if (entry.priorityClass == priorityClass)
            return UnicodeString(entry.name);
    return ConcatW({u"$", LowerHex(priorityClass)});
}

UnicodeString UsableImagePath(std::u16string_view path, std::u16string_view systemFolder)
{
    UnicodeString usable(path);
    const int at = FindTextW(UnicodeString(kSystemRoot) + u"\\", usable, 1, static_cast<int>(usable.size()));
    if (at > 0)
        usable.replace(static_cast<size_t>(at - 1), kSystemRoot.size(), systemFolder);
    if (usable.starts_with(kDevicePrefix))
        usable.erase(0, kDevicePrefix.size());
    return usable;
}

TPathParts SplitImagePath(std::u16string_view path)
{
    const size_t slash = path.rfind(u'\\');
    if (slash == std::u16string_view::npos)
        return {UnicodeString(path), {}};
    return {UnicodeString(path.substr(slash + 1)), UnicodeString(path.substr(0, slash))};
}

UnicodeString ProcessListText(const std::vector<TProcessRecord>& processes)
{
    uint32_t largestId = 0;
    bool anySession = false;
    for (const TProcessRecord& process : processes) {
        largestId = std::max(largestId, process.id);
        anySession = anySession || process.session != 0;
    }
    const size_t idDigits = LowerHex(largestId).size();
    const auto files = Column(processes, [](const TProcessRecord& p) { return p.fileName; });
    const auto sessions = Column(processes, [](const TProcessRecord& p) { return UIntToDecW(p.session, 0, u' '); });
    const auto gdi = Column(processes, [](const TProcessRecord& p) { return UIntToDecW(p.gdiObjects, 0, u' '); });
    const auto user = Column(processes, [](const TProcessRecord& p) { return UIntToDecW(p.userObjects, 0, u' '); });
    const auto priorities = Column(processes, [](const TProcessRecord& p) { return PriorityClassName(p.priorityClass); });

    std::vector<UnicodeString> lines;
    for (size_t i = 0; i < processes.size(); ++i) {
        UnicodeString line = LowerHex(processes[i].id, idDigits) + u" " + PadRight(files[i], ColumnWidth(files));
        if (anySession)
            line += PadRight(sessions[i], ColumnWidth(sessions));
        line += PadRight(gdi[i], ColumnWidth(gdi)) + PadRight(user[i], ColumnWidth(user)) +
                PadRight(priorities[i], ColumnWidth(priorities)) + processes[i].folder;
        lines.push_back(line);
    }
    return JoinLines(lines);
}
