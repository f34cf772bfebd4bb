#include "startup/win/PackageStartUp.h"

#include <span>

#include "settings/win/SharedSettings.h"
#include "startup/PackageSettingsScan.h"

namespace {

std::span<const uint8_t> SettingsResource(HMODULE module)
{
    const HRSRC found = FindSettingsResource(module);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return {static_cast<const uint8_t*>(bytes), SizeofResource(module, found)};
}

} // namespace

bool RunsAsRuntimePackage(HMODULE library)
{
    return GetProcAddress(library, "@Zelexcept@initialization$qqrv") != nullptr;
}

void StartPackageCheckers(const std::vector<HMODULE>& modules, TLeakCheckLibrary& checker)
{
    for (const HMODULE module : modules) {
        const std::span<const uint8_t> settings = SettingsResource(module);
        if (settings.empty())
            continue;
        if (ResourceSettingTrue(settings, "CrashOnBuffer"))
            checker.StartDebugMmFor(module, !ResourceSettingTrue(settings, "CrashOnUnderrun"));
        if (ResourceSettingTrue(settings, "ReportLeaks"))
            checker.StartLeakCheckingFor(module);
    }
}
