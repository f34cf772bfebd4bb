#include "delivery/BugReportFile.h"

#include <charconv>
#include <vector>

#include "delivery/ReportTextOps.h"

namespace {

constexpr std::string_view kSeparator = "\r\n\r\n";
constexpr std::string_view kFirstLine = "date/time";
constexpr std::string_view kReportStart = "\r\ndate/time";
// Three checksums "$xxxxxxxx" joined by ", "; keys of one, two or three of them.
constexpr size_t kCrcLength = 31;
constexpr size_t kKeyLengths[] = {9, 20, 31};

// Where each report's "date/time" line starts.
std::vector<size_t> ReportStarts(std::string_view file)
{
    std::vector<size_t> starts;
    if (file.substr(0, kFirstLine.size()) == kFirstLine)
        starts.push_back(0);
    for (size_t at = file.find(kReportStart); at != std::string_view::npos; at = file.find(kReportStart, at + 2))
        starts.push_back(at + 2);
    return starts;
}

// A report's bytes in the file: its separator, when it has one, and its text up to the next
// report's separator.
struct TExtent {
    size_t begin;
    size_t textBegin;
    size_t end;
};

size_t SeparatorStart(std::string_view file, size_t reportStart)
{
    return reportStart >= kSeparator.size() && file.substr(reportStart - kSeparator.size(), kSeparator.size()) ==
                                                   kSeparator
               ? reportStart - kSeparator.size()
               : reportStart;
}

TExtent ExtentAround(std::string_view file, const std::vector<size_t>& starts, size_t position)
{
    size_t start = 0;
    size_t next = file.size();
    for (const size_t candidate : starts) {
        if (candidate <= position)
            start = candidate;
        else {
            next = SeparatorStart(file, candidate);
            break;
        }
    }
    return {SeparatorStart(file, start), start, next};
}

std::string DuplicateKey(std::string_view file, std::string_view report, const TBugReportFileRules& rules)
{
    const std::string crc = GetReportHeaderValue(report, "callstack crc");
    if (file.empty() || crc.size() != kCrcLength)
        return {};
    const bool crash = !GetReportHeaderValue(report, "exception class").empty();
    if (!(crash ? rules.noDupExcepts : rules.noDupFreezes))
        return {};
    const int32_t definition = crash ? rules.dupExceptDef : rules.dupFreezeDef;
    return crc.substr(0, definition == 0 ? kKeyLengths[0] : definition == 1 ? kKeyLengths[1] : kKeyLengths[2]);
}

bool SameCrash(std::string_view old, std::string_view report)
{
    for (const char* name : {"executable", "current module", "exception class", "version"}) {
        if (!SameReportHeaderValue(old, report, name))
            return false;
    }
    return !GetReportHeaderValue(old, "version").empty() ||
           (SameReportHeaderValue(old, report, "exec. date/time") &&
            SameReportHeaderValue(old, report, "module date/time"));
}

int64_t Occurrences(std::string_view old)
{
    const std::string count = GetReportHeaderValue(old, "count");
    int64_t value = 0;
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), value);
    return error == std::errc() && end == count.data() + count.size() && value > 0 ? value : 1;
}

// Cuts the latest earlier copy of the crash out of the file and gives the new report its count.
void RemoveDuplicate(std::string& file, std::string& report, const std::string& key)
{
    const std::vector<size_t> starts = ReportStarts(file);
    const std::string needle = ": " + key;
    size_t from = file.size();
    while (from > 0) {
        const size_t hit = file.rfind(needle, from - 1);
        if (hit == std::string::npos)
            return;
        const TExtent old = ExtentAround(file, starts, hit);
        const std::string_view text = std::string_view(file).substr(old.textBegin, old.end - old.textBegin);
        if (SameCrash(text, report)) {
            report = InsertReportHeaderLine(report, "callstack crc", "count", std::to_string(Occurrences(text) + 1));
            file.erase(old.begin, old.end - old.begin);
            return;
        }
        from = hit;
    }
}

// Drops the oldest reports until what stays is below three quarters of the limit; nothing
// when even the newest alone is not.
void TrimToSize(std::string& file, int64_t limit)
{
    const auto kept = static_cast<uint64_t>(limit - limit / 4);
    for (const size_t start : ReportStarts(file)) {
        const size_t begin = SeparatorStart(file, start);
        if (file.size() - begin < kept) {
            file.erase(0, begin);
            return;
        }
    }
}

} // namespace

std::string UpdateBugReportFile(std::string_view file, std::string_view report, const TBugReportFileRules& rules)
{
    std::string content = rules.append ? std::string(file) : std::string();
    std::string newReport(report);
    const std::string key = DuplicateKey(content, newReport, rules);
    const bool tooBig = rules.maxFileSize > 0 && content.size() > static_cast<uint64_t>(rules.maxFileSize);
    if (!key.empty())
        RemoveDuplicate(content, newReport, key);
    if (tooBig)
        TrimToSize(content, rules.maxFileSize);
    return content + std::string(kSeparator) + newReport;
}
