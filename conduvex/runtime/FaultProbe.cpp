#include "runtime/FaultProbe.h"

#include <atomic>

namespace {

std::atomic<TFaultProbe> installedProbe{nullptr};

} // namespace

void SetFaultProbe(TFaultProbe probe)
{
    installedProbe = probe;
}

void FaultPoint(const char* point)
{
    if (const TFaultProbe probe = installedProbe)
        probe(point);
}
