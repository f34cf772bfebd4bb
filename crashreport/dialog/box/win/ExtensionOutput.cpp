#include "dialog/box/win/ExtensionOutput.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialog/box/ExceptionPage.h"
#include "dialog/box/win/MessageText.h"
#include "settings/win/ZeSettings.h"
#include "win32/ThreadSlot.h"

namespace {

constexpr size_t kFirstConnections = 64;

// One request whose copy of the server's block is in use.
struct TConnection {
    TServerSupport originalSupport = nullptr;
    bool headerSent = false;
    std::unique_ptr<TExtensionControlBlock> copy;
};

struct TFoundConnection {
    size_t index = 0;
    TServerSupport originalSupport = nullptr;
    const TExtensionControlBlock* copy = nullptr;
};

// The requests in flight, process-wide; a request's removal frees its copy.
class TConnectionTable {
public:
    size_t Add(std::unique_ptr<TExtensionControlBlock> copy, TServerSupport originalSupport)
    {
        const std::lock_guard guard(lock_);
        if (entries_.capacity() == 0)
            entries_.reserve(kFirstConnections);
        entries_.push_back({originalSupport, false, std::move(copy)});
        return entries_.size() - 1;
    }

    std::optional<TFoundConnection> Find(TConnectionId connection)
    {
        const std::lock_guard guard(lock_);
        for (size_t index = 0; index < entries_.size(); ++index) {
            if (entries_[index].copy->connection == connection)
                return TFoundConnection{index, entries_[index].originalSupport, entries_[index].copy.get()};
        }
        return std::nullopt;
    }

    void MarkHeaderSent(TConnectionId connection, size_t hint)
    {
        const std::lock_guard guard(lock_);
        if (const std::optional<size_t> index = IndexOf(hint, [&](const TConnection& entry) {
                return entry.copy->connection == connection;
            }))
            entries_[*index].headerSent = true;
    }

    // Whether the request's header went out.
    bool Remove(const TExtensionControlBlock* copy, size_t hint)
    {
        const std::lock_guard guard(lock_);
        const std::optional<size_t> index =
            IndexOf(hint, [&](const TConnection& entry) { return entry.copy.get() == copy; });
        if (!index)
            return false;
        const bool headerSent = entries_[*index].headerSent;
        std::swap(entries_[*index], entries_.back());
        entries_.pop_back();
        return headerSent;
    }

    size_t Count()
    {
        const std::lock_guard guard(lock_);
        return entries_.size();
    }

private:
    // The hint first, then a search: entries move when others are removed.
    template <typename TMatch>
    std::optional<size_t> IndexOf(size_t hint, const TMatch& matches) const
    {
        if (hint < entries_.size() && matches(entries_[hint]))
            return hint;
        for (size_t index = 0; index < entries_.size(); ++index) {
            if (matches(entries_[index]))
                return index;
        }
        return std::nullopt;
    }

    std::mutex lock_;
    std::vector<TConnection> entries_;
};

TConnectionTable& Connections()
{
    static TConnectionTable table;
    return table;
}

TExtensionEntry& HostEntry()
{
    static TExtensionEntry entry = nullptr;
    return entry;
}

char kContentTypeHeader[] = "Content-Type: text/html\r\n\r\n";

void SendHeader(TServerSupport support, TConnectionId connection)
{
    if (support)
        support(connection, kSendResponseHeader, nullptr, nullptr, reinterpret_cast<DWORD*>(kContentTypeHeader));
}

// The report as the exception page, under the settings of the module its exception lies in.
std::string ReportPage(const TPendingExtensionReport& pending)
{
    const TSettingsRef settings = GetSettingsOfAddress(reinterpret_cast<const void*>(pending.address));
    const UnicodeString message = ReportMessageText(*settings, settings->Module(), pending.text);
    return BuildExceptionPage(ExceptionPageTexts(*settings, message, pending.text));
}

void WritePage(TWriteClient write, TConnectionId connection, std::string page)
{
    if (!write)
        return;
    DWORD length = static_cast<DWORD>(page.size());
    write(connection, page.data(), &length, 0);
}

} // namespace

TPendingExtensionReport& PendingExtensionReport()
{
    static constinit TThreadSlot<TPendingExtensionReport> pending;
    return pending.Mine();
}

void SetHostExtensionEntry(TExtensionEntry entry)
{
    HostEntry() = entry;
}

size_t OpenExtensionConnections()
{
    return Connections().Count();
}

DWORD WINAPI ExtensionProcWrapper(TExtensionControlBlock* block)
{
    try {
        const TExtensionEntry entry = HostEntry();
        if (!block || !entry)
            return kExtensionError;
        const TServerSupport originalSupport = block->serverSupport;
        auto owned = std::make_unique<TExtensionControlBlock>(*block);
        TExtensionControlBlock* copy = owned.get();
        copy->serverSupport = &SupportFunctionHook;
        const size_t index = Connections().Add(std::move(owned), originalSupport);

        TPendingExtensionReport& pending = PendingExtensionReport();
        pending = {};
        const DWORD status = entry(copy);
        const TPendingExtensionReport report = std::exchange(pending, {});

        bool headerSent = false;
        if (status != kExtensionPending) {
            // The host's changes go back; the server keeps its own callback.
            *block = *copy;
            block->serverSupport = originalSupport;
            headerSent = Connections().Remove(copy, index);
        }
        if (status == kExtensionError && !report.text.empty()) {
            if (!headerSent)
                SendHeader(originalSupport, block->connection);
            WritePage(block->writeClient, block->connection, ReportPage(report));
        }
        return status;
    } catch (...) {
        // Nothing may unwind into the server.
        return kExtensionError;
    }
}

BOOL WINAPI SupportFunctionHook(TConnectionId connection, DWORD request, void* buffer, DWORD* size, DWORD* dataType)
{
    try {
        const std::optional<TFoundConnection> found = Connections().Find(connection);
        if (!found || !found->originalSupport)
            return FALSE;
        TPendingExtensionReport& pending = PendingExtensionReport();
        if (!pending.text.empty()) {
            const TPendingExtensionReport report = std::exchange(pending, {});
            SendHeader(found->originalSupport, connection);
            Connections().MarkHeaderSent(connection, found->index);
            WritePage(found->copy->writeClient, connection, ReportPage(report));
        }
        const bool succeeded = found->originalSupport(connection, request, buffer, size, dataType) != FALSE;
        if (succeeded && (request == kSendResponseHeader || request == kSendResponseHeaderEx))
            Connections().MarkHeaderSent(connection, found->index);
        if (request == kDoneWithSession)
            Connections().Remove(found->copy, found->index);
        return succeeded ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}
