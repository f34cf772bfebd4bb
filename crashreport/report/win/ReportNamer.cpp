#include "ReportNamer.h"

#include <memory>
#include <vector>

#include "ProcessNamer.h"
#include "engine/win/ProcessLists.h"

namespace {

struct TSharedNamer {
    std::mutex lock;
    std::unique_ptr<TProcessNamer> namer;
    std::vector<HMODULE> modules; // those loaded when the namer was made
};

TSharedNamer& Shared()
{
    static TSharedNamer shared;
    return shared;
}

std::vector<HMODULE> LoadedModules()
{
    std::vector<HMODULE> modules;
    for (const TModuleEntry& entry : EnumerateModules())
        modules.push_back(entry.module);
    return modules;
}

const ICodeNamer& CurrentNamer(TSharedNamer& shared)
{
    std::vector<HMODULE> modules = LoadedModules();
    if (!shared.namer || modules != shared.modules) {
        shared.namer = std::make_unique<TProcessNamer>();
        shared.modules = std::move(modules);
    }
    return *shared.namer;
}

// Set while this thread holds the shared namer: a build nested in it (a callback of that
// build waiting for another report) must not try the lock again.
thread_local bool holdsShared = false;

} // namespace

TReportNamer::TReportNamer()
{
    if (!holdsShared)
        lock_ = std::unique_lock(Shared().lock, std::try_to_lock);
    if (lock_.owns_lock()) {
        namer_ = &CurrentNamer(Shared());
        holdsShared = true;
    } else {
        own_ = std::make_unique<TProcessNamer>();
        namer_ = own_.get();
    }
}

TReportNamer::~TReportNamer()
{
    if (lock_.owns_lock())
        holdsShared = false;
}
