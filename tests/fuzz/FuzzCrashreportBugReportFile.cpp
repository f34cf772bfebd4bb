// The bug-report file as found on disk (anything may be in it) with a new report: the input
// up to its first zero byte is the file, the rest the report; its first byte picks the rules.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "delivery/BugReportFile.h"
#include "delivery/ReportTextOps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t zero = input.find('\0');
    const std::string_view file = input.substr(0, zero);
    const std::string_view report = zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);
    const uint8_t choice = size > 0 ? data[0] : 0;
    TBugReportFileRules rules;
    rules.append = (choice & 1) == 0;
    rules.dupExceptDef = choice >> 1 & 3;
    rules.dupFreezeDef = choice >> 3 & 3;
    rules.maxFileSize = choice >> 5 == 0 ? 0 : static_cast<int64_t>(file.size() / (choice >> 5));
    UpdateBugReportFile(file, report, rules);
    InsertReportHeaderLine(report, "callstack crc", "count", "2");
    return 0;
}
