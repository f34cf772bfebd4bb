#include "TraceProcess.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "WinHandle.h"
#include "engine/win/Clipboard.h"
#include "report/ReportText.h"
#include "report/win/ReportBuilder.h"
#include "settings/win/DualText.h"
#include "settings/win/ZeSettings.h"
#include "startup/win/LibraryThreads.h"
#include "threads/ThreadNames.h"

namespace {

std::atomic<int> tracing{0};

// Names the calling thread while it traces and gives it back its old name afterwards.
class TTracingThread {
public:
    TTracingThread() : threadId_(GetCurrentThreadId()), old_(GetThreadEntry(threadId_))
    {
        ++tracing;
        NameThread(threadId_, u"zelExcept - TraceProcessThread");
    }
    ~TTracingThread()
    {
        if (old_)
            SetThreadEntry(threadId_, nullptr, old_->name, old_->creatorThreadId, old_->startAddress,
                           old_->description);
        else
            SetThreadEntry(threadId_, nullptr, {}, 0, nullptr, {});
        --tracing;
    }
    TTracingThread(const TTracingThread&) = delete;
    TTracingThread& operator=(const TTracingThread&) = delete;

private:
    DWORD threadId_;
    std::optional<TThreadEntryInfo> old_;
};

HANDLE OpenTraceMapping()
{
    if (HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kGlobalTraceMapping))
        return mapping;
    return OpenFileMappingW(FILE_MAP_WRITE, FALSE, kLocalTraceMapping);
}

} // namespace

UnicodeString TraceProcessText()
{
    TReportSubject subject;
    subject.processTrace = true;
    GetLocalTime(&subject.exceptTime);
    subject.module = CrashLibraryModule();
    subject.hiddenThreads = LibraryThreadIds();
    return ReportText(BuildReport(subject));
}

bool CopyTraceIntoView(void* view, int32_t size, std::string_view text)
{
    if (!view || size < 1)
        return false;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view, &region, sizeof region) != sizeof region)
        return false;
    // The caller's size may claim more than its mapping holds.
    const auto available = static_cast<size_t>(static_cast<const char*>(region.BaseAddress) + region.RegionSize -
                                               static_cast<const char*>(view));
    const size_t capacity = std::min(static_cast<size_t>(size), available);
    if (capacity == 0)
        return false;
    const size_t count = std::min(text.size(), capacity - 1);
    std::memcpy(view, text.data(), count);
    static_cast<char*>(view)[count] = '\0';
    return true;
}

bool TracingProcess()
{
    return tracing.load() > 0;
}

extern "C" int32_t WINAPI zelTraceProcess(int32_t size)
{
    try {
        const TTracingThread naming;
        const UnicodeString text = TraceProcessText();
        if (size < 1) {
            CopyTextToClipboard(text);
            return 0;
        }
        const TWinHandle mapping(OpenTraceMapping());
        if (!mapping)
            return 0;
        void* view = MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, 0);
        if (!view)
            return 0;
        CopyTraceIntoView(view, size, WideToSystemAnsi(text));
        UnmapViewOfFile(view);
    } catch (...) {
        // Nothing may unwind into the caller; the result is 0 in every case.
    }
    return 0;
}
