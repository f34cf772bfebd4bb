#include "ModelReportBuilder.h"

#include <algorithm>

#include "HeaderGatherer.h"
#include "handlers/win/LibraryThreadRegistry.h"
#include "LoaderLock.h"
#include "PleaseWait.h"
#include "model/PluginRegistry.h"
#include "report/ReportText.h"
#include "settings/FieldsList.h"
#include "settings/win/DualText.h"
#include "text/Utf.h"
#include "win32/ThreadSlot.h"

namespace {

// The reports this thread is building on demand, for the object's life.
class TBuildingHere {
public:
    explicit TBuildingHere(const TIZEException& exception) : exception_(&exception) { Reports().push_back(exception_); }
    ~TBuildingHere() { Reports().erase(std::find(Reports().begin(), Reports().end(), exception_)); }
    TBuildingHere(const TBuildingHere&) = delete;
    TBuildingHere& operator=(const TBuildingHere&) = delete;

    static bool Includes(const TIZEException& exception)
    {
        return std::find(Reports().begin(), Reports().end(), &exception) != Reports().end();
    }

private:
    static std::vector<const TIZEException*>& Reports()
    {
        static constinit TThreadSlot<std::vector<const TIZEException*>> reports;
        return reports.Mine();
    }

    const TIZEException* exception_;
};

// The exception object's lists as the builder's sink: one change of the report per call.
class TExceptionSink : public IReportSink {
public:
    TExceptionSink(TIZEException& exception, TZelReportFields& sections, TZelReportFields& header)
        : exception_(exception), sections_(sections), header_(header) {}

    // The lists drop a field whose value is empty; an empty body reads "." in the text anyway.
    void SetSection(const UnicodeString& title, const UnicodeString& body) override
    {
        exception_.BeginUpdate();
        sections_.SetValue(title, body.empty() ? UnicodeString(u".") : body);
        exception_.EndUpdate();
    }
    void SetField(const UnicodeString& name, const UnicodeString& value) override
    {
        exception_.BeginUpdate();
        header_.SetValue(name, value);
        exception_.EndUpdate();
    }
    bool Terminating() const override { return exception_.IsTerminating(); }

private:
    TIZEException& exception_;
    TZelReportFields& sections_;
    TZelReportFields& header_;
};

struct TBuilderStart {
    TIZEException* exception;
    std::unique_ptr<TReportBuilder> builder;
    TZelReportFields* sections;
};

std::vector<TReportPlugin> PluginsOf(TIZEException& exception, bool inSections)
{
    std::vector<TReportPlugin> plugins;
    IZEException* asked = &exception;
    for (const TBugReportPlugin& plugin :
         SelectBugReportPlugins(exception.Settings().GetSettingText("Plugins"), inSections)) {
        plugins.push_back({plugin.name, [plugin, asked] {
                               return BugReportPluginText(plugin, asked, [](std::string_view text) {
                                   return SystemAnsiToWide(text);
                               });
                           }});
    }
    return plugins;
}

TReportOptions OptionsOf(IZEModuleSettings& settings)
{
    TReportOptions options;
    options.listThreads = settings.ListThreads();
    options.cpuRegs = settings.CpuRegs();
    options.stackDump = settings.StackDump();
    options.showDisAsm = settings.ShowDisAsm();
    options.hideUglyItems = settings.HideUglyItems();
    options.showRelAddrs = settings.ShowRelAddrs();
    options.showRelLines = settings.ShowRelLines();
    options.formatDisAsm = settings.FormatDisAsm();
    options.limitDisAsm = settings.LimitDisAsm();
    options.frozenMsg = settings.FrozenMsg();
    return options;
}

void RecordThreads(TIZEException& exception, const TReportBuilder& builder)
{
    exception.EditThreads([&](TDAThreadStack& threads) {
        threads.clear();
        for (const TReportThread& thread : builder.Threads()) {
            TThreadStack record;
            record.threadId = thread.threadId;
            record.title = thread.title;
            record.innerLevel = thread.innerLevel;
            record.innerClass = WideToUTF8(thread.innerClass);
            record.innerMessage = WideToUTF8(thread.innerMessage);
            record.threadStart = thread.startAddress;
            record.noExceptionAddress = thread.notAfterRaisingCall;
            record.dumpAllCandidates = thread.dumpAllCandidates;
            record.explicitCandidates = thread.explicitCandidates;
            threads.push_back(record);
        }
    });
}

// The threads as they were announced, from the exception's records.
std::vector<TReportThread> RecordedThreads(TIZEException& exception, const TReportSubject& subject)
{
    std::vector<TReportThread> threads;
    exception.EditThreads([&](TDAThreadStack& records) {
        for (const TThreadStack& record : records) {
            TReportThread thread;
            thread.threadId = record.threadId;
            thread.title = record.title;
            thread.innerLevel = record.innerLevel;
            thread.innerClass = UTF8ToWide(record.innerClass);
            thread.innerMessage = UTF8ToWide(record.innerMessage);
            thread.exceptionThread =
                !subject.frozen && record.innerLevel == 0 && record.threadId == subject.crashedThreadId;
            thread.creatorName = CreatorNameOf(record.threadId);
            thread.startAddress = record.threadStart;
            thread.notAfterRaisingCall = record.noExceptionAddress;
            thread.dumpAllCandidates = record.dumpAllCandidates;
            thread.explicitCandidates = record.explicitCandidates;
            threads.push_back(thread);
        }
    });
    return threads;
}

UnicodeString ErrorDetailsOf(TIZEException& exception)
{
    constexpr char16_t kErrorDetailsField[] = u"Error Details";
    const std::shared_ptr<TIZEFields> fields = exception.Settings().Fields();
    return fields ? fields->Value(kErrorDetailsField) : UnicodeString();
}

// The start-up's check when installed; it may also wait a little for a loader at work.
bool LoaderLocked()
{
    constexpr int kLoaderLockWaitMs = 250;
    const auto& check = ExceptionHooks().isLoaderLocked;
    return check ? check(kLoaderLockWaitMs) : IsLoaderLocked();
}

} // namespace

TReportSubject SubjectOf(TIZEException& exception, const TLibraryThreads& libraryThreads)
{
    TReportSubject subject;
    subject.frozen = exception.GetExceptType() == TExceptType::Frozen;
    subject.crashedThreadId = exception.GetCrashedThreadId();
    subject.exceptAddress = exception.GetExceptAddress();
    if (const CONTEXT* context = exception.GetContext())
        subject.context = *context;
    if (!subject.frozen) {
        subject.exceptClass = exception.GetExceptClass();
        subject.exceptMessage = exception.GetExceptMessage();
    }
    subject.exceptTime = exception.ExceptTime();
    subject.module = exception.Module();
    subject.versionText = exception.VersionText();
    subject.errorDetails = ErrorDetailsOf(exception);
    subject.options = OptionsOf(exception.Settings());
    subject.headerPlugins = PluginsOf(exception, false);
    subject.sectionPlugins = PluginsOf(exception, true);
    if (libraryThreads)
        subject.hiddenThreads = libraryThreads();
    // Builders of other reports: tracing one means suspending it wherever it is.
    for (const uint32_t builder : RegisteredLibraryThreads())
        subject.hiddenThreads.push_back(builder);
    // Inner exceptions were raised on the thread that raised this one.
    for (const TInnerException& inner : exception.InnerExceptions()) {
        TInnerExceptionFacts facts{subject.crashedThreadId, inner.address, inner.className, inner.message, {}};
        if (inner.contextValid)
            facts.context = inner.context;
        subject.innerExceptions.push_back(facts);
    }
    return subject;
}

void TModelReportBuilder::FillHeader(TIZEException& exception, TZelReportFields& header)
{
    const THeaderFields fields = GatherHeader(SubjectOf(exception, libraryThreads_));
    header.BeginUpdate();
    for (const THeaderField& field : fields)
        header.Add(field.name, field.value);
    header.EndUpdate();
    // Fields added later (the modules' notes) go before the checksums.
    header.SetCurrentIndex(header.IndexOf(kCallstackCrcField));
}

void TModelReportBuilder::StartSections(TIZEException& exception, TZelReportFields& sections)
{
    auto builder = std::make_unique<TReportBuilder>(SubjectOf(exception, libraryThreads_));
    const TReportSections announced = builder->Announce();
    RecordThreads(exception, *builder);
    sections.BeginUpdate();
    for (const TReportSection& section : announced)
        sections.Add(section.title, kSectionPlaceholder);
    sections.EndUpdate();
    if (exception.BuildOnDemand())
        return;
    // The thread that raised waits for its report: it cannot build it while it is traced.
    const bool ownThread = exception.BuildAsync() || GetCurrentThreadId() != exception.GetCrashedThreadId();
    if (ownThread && !LoaderLocked()) {
        auto start = std::make_unique<TBuilderStart>(TBuilderStart{&exception, std::move(builder), &sections});
        DWORD threadId = 0;
        TWinHandle thread(CreateThread(nullptr, 0, BuilderThread, start.get(), CREATE_SUSPENDED, &threadId));
        if (thread) {
            SetThreadPriority(thread.Get(), THREAD_PRIORITY_ABOVE_NORMAL);
            const HANDLE running = thread.Get();
            exception.SetBuilderThread(std::move(thread), threadId);
            start.release();
            ResumeThread(running);
            return;
        }
        builder = std::move(start->builder);
    }
    BuildHere(exception, *builder, sections);
}

void TModelReportBuilder::BuildHere(TIZEException& exception, TReportBuilder& builder, TZelReportFields& sections)
{
    const TPleaseWait pleaseWait(exception);
    Build(exception, builder, sections);
}

DWORD WINAPI TModelReportBuilder::BuilderThread(void* parameter)
{
    const std::unique_ptr<TBuilderStart> start(static_cast<TBuilderStart*>(parameter));
    try {
        const TLibraryThreadRegistration registration;
        Build(*start->exception, *start->builder, *start->sections);
    } catch (...) {
        // The report stays as far as it got; the thread must not take the process with it.
    }
    return 0;
}

void TModelReportBuilder::Build(TIZEException& exception, TReportBuilder& builder, TZelReportFields& sections)
{
    const TReportFieldsRef header = exception.GetBugReportHeader();
    TExceptionSink sink(exception, sections, *header);
    TExceptionProgress progress(exception);
    builder.BuildSections(sink, &progress);
    if (exception.IsTerminating())
        return;
    exception.BeginUpdate();
    builder.WriteChecksums(sink);
    // The user may have described the error while the report was built.
    const UnicodeString details = ErrorDetailsOf(exception);
    if (!details.empty())
        sink.SetSection(kErrorDetailsSection, details);
    for (int index = 0; index < 3; ++index)
        exception.SetCallstackCrc(index, builder.Crc().Value(index));
    exception.EditThreads([&](TDAThreadStack& threads) {
        for (size_t index = 0; index < threads.size() && index < builder.Stacks().size(); ++index)
            threads[index].stack = builder.Stacks()[index];
    });
    const bool phaseMoved = exception.MarkComplete();
    exception.EndUpdate();
    if (phaseMoved) {
        if (const auto& fire = ExceptionHooks().fireExceptionHandlers)
            fire(exception);
    }
}

void TModelReportBuilder::WaitForReport(TIZEException& exception)
{
    if (exception.IsComplete())
        return;
    if (exception.BuildOnDemand()) {
        // A plug-in or callback of the build that waits for the same report gets what there
        // is: the build it runs in cannot finish before it returns. Another report it waits
        // for is built here in turn.
        if (TBuildingHere::Includes(exception))
            return;
        const std::lock_guard guard(exception.OnDemandBuildLock());
        if (exception.IsComplete())
            return;
        TReportBuilder builder(SubjectOf(exception, libraryThreads_));
        builder.UseThreads(RecordedThreads(exception, builder.Subject()));
        const TBuildingHere building(exception);
        BuildHere(exception, builder, *exception.GetBugReportSections());
        return;
    }
    const HANDLE thread = exception.BuilderThread();
    if (!thread || exception.GetBuilderThreadId() == GetCurrentThreadId() || LoaderLocked())
        return;
    constexpr DWORD kPumpIntervalMs = 50;
    TPleaseWait pleaseWait(exception);
    // A caller that shows it is waiting wants the report soon, whether or not the alert could
    // be shown.
    if (exception.Settings().PlWaitBox())
        SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    if (!pleaseWait.Shown()) {
        WaitForSingleObject(thread, INFINITE);
        return;
    }
    while (WaitForSingleObject(thread, kPumpIntervalMs) == WAIT_TIMEOUT)
        pleaseWait.Pump();
}

UnicodeString TModelReportBuilder::AssembleText(const TReportFieldList& header, const TReportFieldList& sections)
{
    TReportFacts facts;
    for (const TReportField& field : header)
        facts.header.push_back({field.name, field.value});
    for (const TReportField& section : sections)
        facts.sections.push_back({section.name, section.value});
    return ReportText(facts);
}

void InstallReportBuilder(TLibraryThreads libraryThreads)
{
    static TModelReportBuilder builder;
    builder.SetLibraryThreads(std::move(libraryThreads));
    ExceptionHooks().builder = &builder;
}
