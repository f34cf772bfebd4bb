#include "ReportSink.h"

void TFactsSink::SetSection(const UnicodeString& title, const UnicodeString& body)
{
    const std::lock_guard guard(lock_);
    if (TReportSection* section = facts_.Section(title))
        section->body = body;
    else
        facts_.sections.push_back({title, body});
}

void TFactsSink::SetField(const UnicodeString& name, const UnicodeString& value)
{
    const std::lock_guard guard(lock_);
    facts_.SetField(name, value);
}

TReportFacts TFactsSink::Snapshot() const
{
    const std::lock_guard guard(lock_);
    return facts_;
}
