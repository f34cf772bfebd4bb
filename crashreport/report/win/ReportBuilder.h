#pragma once
// Builds the bug report of one subject: the header at once, the sections announced with their
// placeholders, then calculated one by one into a sink (the builder procedure), ending with the
// call-stack checksums.
#include <vector>

#include "ReportSink.h"
#include "ReportSubject.h"
#include "ReportThreads.h"
#include "StackSeams.h"
#include "StackItem.h"
#include "report/CallstackCrc.h"

inline constexpr char16_t kRegistersSection[] = u"cpu registers";
inline constexpr char16_t kStackDumpSection[] = u"stack dump";
inline constexpr char16_t kDisassemblySection[] = u"disassembling";
inline constexpr char16_t kErrorDetailsSection[] = u"error details";

class TReportBuilder {
public:
    explicit TReportBuilder(TReportSubject subject) : subject_(std::move(subject)) {}

    const TReportSubject& Subject() const { return subject_; }
    // Each field computed on its own; the "callstack crc" field holds its placeholder.
    THeaderFields Header() const;
    // Plans the threads and names every section, in report order, without bodies.
    TReportSections Announce();
    // Instead of Announce: the threads as announced before.
    void UseThreads(std::vector<TReportThread> threads) { threads_ = std::move(threads); }
    // Calculates every announced section in order, then writes the checksums; stops early when
    // the sink terminates.
    void Build(IReportSink& sink, IStackProgress* progress = nullptr);
    // The two halves of Build: the sections, then the checksum field and the modules' notes.
    void BuildSections(IReportSink& sink, IStackProgress* progress = nullptr);
    void WriteChecksums(IReportSink& sink) const;

    const std::vector<TReportThread>& Threads() const { return threads_; }
    // The call stack of each thread, by thread index, once built.
    const std::vector<TStackTrace>& Stacks() const { return stacks_; }
    const TCallstackCrc& Crc() const { return crc_; }

private:
    struct TThreadResult {
        UnicodeString body;
        uint32_t firstItemCrc = 0;
        uint32_t callStackCrc = 0;
        bool relevant = false;
    };

    bool HasContext() const { return subject_.context.has_value(); }
    // Registers and stack dump come from the last inner exception's context when there is one.
    const std::optional<CONTEXT>& StateContext() const;
    uintptr_t DisassemblyAddress() const;
    TThreadResult TraceThread(size_t index, const ICodeNamer& namer, IStackProgress* progress);
    void AddModuleNotes(const TDAUnicodeString& notes);
    void BuildMachineState(IReportSink& sink, const ICodeNamer& namer) const;
    void BuildPlugins(IReportSink& sink, const ICodeNamer& namer) const;

    TReportSubject subject_;
    std::vector<TReportThread> threads_;
    std::vector<TStackTrace> stacks_;
    TDAUnicodeString moduleNotes_;
    TCallstackCrc crc_;
};

// The whole report at once, in the caller.
TReportFacts BuildReport(const TReportSubject& subject);
