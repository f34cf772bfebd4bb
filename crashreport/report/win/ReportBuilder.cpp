#include "ReportBuilder.h"

#include <algorithm>

#include "GuardedCall.h"
#include "HeaderGatherer.h"
#include "MachineState.h"
#include "ReportNamer.h"
#include "ThreadTrace.h"
#include "report/HexText.h"
#include "report/ThreadSection.h"
#include "text/CaseFolding.h"

namespace {

constexpr char16_t kModuleNoteSuffix[] = u".zel";

// What a plug-in raised, in its section's place; a processor exception with its location.
UnicodeString PluginFailureText(const UnicodeString& name, const TGuardFailure& failure, const ICodeNamer& namer,
                                const TReportOptions& options)
{
    UnicodeString text = u">> plugin \"" + name + u"\" raised ";
    if (failure.code == 0)
        return text + failure.text;
    return text + u"exception $" + HexDigits(failure.code, 8) + u" at:\r\n" +
           FormatStackItem(namer, failure.address, options.showRelAddrs, options.showRelLines);
}

} // namespace

THeaderFields TReportBuilder::Header() const
{
    return GatherHeader(subject_);
}

TReportSections TReportBuilder::Announce()
{
    threads_ = PlanThreads(subject_);
    TReportSections sections;
    for (const TReportThread& thread : threads_)
        sections.push_back({thread.title, std::nullopt});
    if (!subject_.errorDetails.empty())
        sections.push_back({kErrorDetailsSection, subject_.errorDetails});
    for (const TReportPlugin& plugin : subject_.sectionPlugins)
        sections.push_back({plugin.name, std::nullopt});
    if (subject_.options.cpuRegs && HasContext())
        sections.push_back({kRegistersSection, std::nullopt});
    if (subject_.options.stackDump && HasContext())
        sections.push_back({kStackDumpSection, std::nullopt});
    if (subject_.options.showDisAsm && subject_.disassembler)
        sections.push_back({kDisassemblySection, std::nullopt});
    return sections;
}

const std::optional<CONTEXT>& TReportBuilder::StateContext() const
{
    if (!subject_.innerExceptions.empty() && subject_.innerExceptions.back().context)
        return subject_.innerExceptions.back().context;
    return subject_.context;
}

uintptr_t TReportBuilder::DisassemblyAddress() const
{
    if (!subject_.innerExceptions.empty())
        return subject_.innerExceptions.back().address;
    if (subject_.exceptAddress == 0 && subject_.context)
        return InstructionPointerOf(*subject_.context);
    return subject_.exceptAddress;
}

TReportBuilder::TThreadResult TReportBuilder::TraceThread(size_t index, const ICodeNamer& namer,
                                                          IStackProgress* progress)
{
    const TReportThread& thread = threads_[index];
    TStackTraceOptions options;
    options.hideItemsWithoutLine = subject_.options.hideUglyItems;
    options.showRelativeAddresses = subject_.options.showRelAddrs;
    options.showRelativeLines = subject_.options.showRelLines;
    options.progress = progress;
    options.notAfterRaisingCall = thread.notAfterRaisingCall;
    options.dumpAllCandidates = thread.dumpAllCandidates;
    options.explicitCandidates = thread.explicitCandidates;
    std::optional<CONTEXT> context;
    uintptr_t address = 0;
    if (thread.exceptionThread) {
        context = subject_.context;
        address = subject_.exceptAddress;
    } else if (thread.innerLevel > 0) {
        const TInnerExceptionFacts& inner = subject_.innerExceptions[static_cast<size_t>(thread.innerLevel - 1)];
        context = inner.context;
        address = inner.address;
    }
    TReportThread traced = thread;
    traced.exceptionThread = context.has_value();
    const TThreadTrace trace = TraceReportThread(traced, context, address, namer, options);
    TThreadResult result;
    if (!trace.accessible) {
        const bool located = thread.exceptionThread && address != 0;
        result.body = StackNotAccessibleText(
            located ? FormatStackItem(namer, address, options.showRelativeAddresses, options.showRelativeLines) : u"");
        return result;
    }
    stacks_[index] = trace.result.items;
    AddModuleNotes(trace.result.moduleNotes);
    result.body = ThreadSectionBody(trace.result.text,
                                    {thread.innerLevel, thread.innerClass, thread.innerMessage, thread.creatorName});
    result.firstItemCrc = trace.result.firstItemCrc;
    result.callStackCrc = trace.result.callStackCrc;
    result.relevant = trace.result.hasLine;
    return result;
}

void TReportBuilder::AddModuleNotes(const TDAUnicodeString& notes)
{
    for (const UnicodeString& note : notes) {
        const bool known = std::any_of(moduleNotes_.begin(), moduleNotes_.end(),
                                       [&](const UnicodeString& held) { return SameTextW(held, note); });
        if (!known)
            moduleNotes_.push_back(note);
    }
}

void TReportBuilder::BuildMachineState(IReportSink& sink, const ICodeNamer& namer) const
{
    const std::optional<CONTEXT>& context = StateContext();
    if (subject_.options.cpuRegs && HasContext() && !sink.Terminating())
        sink.SetSection(kRegistersSection, context ? RegistersText(RegistersOf(*context)) : UnicodeString());
    if (subject_.options.stackDump && HasContext() && !sink.Terminating())
        sink.SetSection(kStackDumpSection, context ? StackDumpAt(StackPointerOf(*context)) : UnicodeString());
    if (subject_.options.showDisAsm && subject_.disassembler && !sink.Terminating()) {
        UnicodeString text;
        TGuardFailure failure;
        const uintptr_t address = DisassemblyAddress();
        const std::optional<TCodeName> name = namer.Name(address);
        const uintptr_t start = name ? static_cast<uintptr_t>(name->functionStart) : 0;
        if (!RunGuarded([&] { text = DisassemblyAt(address, start, subject_.options); }, failure))
            text = u">> disassembling failed: " + failure.text;
        sink.SetSection(kDisassemblySection, text);
    }
}

void TReportBuilder::BuildPlugins(IReportSink& sink, const ICodeNamer& namer) const
{
    for (const TReportPlugin& plugin : subject_.sectionPlugins) {
        if (sink.Terminating())
            return;
        UnicodeString text;
        TGuardFailure failure;
        if (!RunGuarded([&] { text = plugin.text(); }, failure))
            text = PluginFailureText(plugin.name, failure, namer, subject_.options);
        sink.SetSection(plugin.name, text);
    }
}

void TReportBuilder::Build(IReportSink& sink, IStackProgress* progress)
{
    BuildSections(sink, progress);
    WriteChecksums(sink);
}

void TReportBuilder::BuildSections(IReportSink& sink, IStackProgress* progress)
{
    if (threads_.empty() || sink.Terminating())
        return;
    const TReportNamer shared;
    const ICodeNamer& namer = shared.Namer();
    stacks_.assign(threads_.size(), {});
    const TThreadResult first = TraceThread(0, namer, progress);
    crc_.Start(first.firstItemCrc, first.callStackCrc);
    sink.SetSection(threads_[0].title, first.body);
    BuildMachineState(sink, namer);
    BuildPlugins(sink, namer);
    for (size_t index = 1; index < threads_.size(); ++index) {
        if (sink.Terminating())
            return;
        const TThreadResult result = TraceThread(index, namer, progress);
        if (result.relevant)
            crc_.Continue(result.callStackCrc);
        sink.SetSection(threads_[index].title, result.body);
    }
}

void TReportBuilder::WriteChecksums(IReportSink& sink) const
{
    if (threads_.empty() || sink.Terminating())
        return;
    sink.SetField(kCallstackCrcField, crc_.Text());
    for (const UnicodeString& note : moduleNotes_) {
        const size_t bar = note.find(u'|');
        if (bar != UnicodeString::npos)
            sink.SetField(note.substr(0, bar) + kModuleNoteSuffix, note.substr(bar + 1));
    }
}

TReportFacts BuildReport(const TReportSubject& subject)
{
    TReportBuilder builder(subject);
    TReportFacts facts;
    facts.header = builder.Header();
    facts.sections = builder.Announce();
    TFactsSink sink(std::move(facts));
    builder.Build(sink);
    return sink.Snapshot();
}
