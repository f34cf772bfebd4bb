#pragma once
// Where the builder puts what it has calculated: the report record of the tests and the
// benchmark, or the exception object's lists. Each call is one change of the report.
#include <mutex>

#include "report/ReportFacts.h"

class IReportSink {
public:
    virtual ~IReportSink() = default;
    virtual void SetSection(const UnicodeString& title, const UnicodeString& body) = 0;
    virtual void SetField(const UnicodeString& name, const UnicodeString& value) = 0;
    // The report is no longer wanted: the builder stops at its next step.
    virtual bool Terminating() const { return false; }
};

// A report record filled under a lock, readable while it is being filled.
class TFactsSink : public IReportSink {
public:
    explicit TFactsSink(TReportFacts facts) : facts_(std::move(facts)) {}
    void SetSection(const UnicodeString& title, const UnicodeString& body) override;
    void SetField(const UnicodeString& name, const UnicodeString& value) override;
    TReportFacts Snapshot() const;

private:
    mutable std::mutex lock_;
    TReportFacts facts_;
};
