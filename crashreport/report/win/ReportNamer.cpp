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

} // namespace

TReportNamer::TReportNamer() : lock_(Shared().lock), namer_(CurrentNamer(Shared())) {}
