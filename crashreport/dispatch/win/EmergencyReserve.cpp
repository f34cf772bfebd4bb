#include "EmergencyReserve.h"

#include <windows.h>

#include <utility>

void TEmergencyReserve::Reserve()
{
    const std::lock_guard guard(lock_);
    if (reserved_)
        return;
    for (size_t index = 0; index < kRegions; ++index) {
        reservedRegions_[index] = VirtualAlloc(nullptr, kReservedSize, MEM_RESERVE, PAGE_NOACCESS);
        committedRegions_[index] = VirtualAlloc(nullptr, kCommittedSize, MEM_COMMIT, PAGE_NOACCESS);
    }
    reserved_ = true;
}

void TEmergencyReserve::Release()
{
    const std::lock_guard guard(lock_);
    if (!reserved_)
        return;
    for (size_t index = 0; index < kRegions; ++index) {
        if (void* region = std::exchange(reservedRegions_[index], nullptr))
            VirtualFree(region, 0, MEM_RELEASE);
        if (void* region = std::exchange(committedRegions_[index], nullptr))
            VirtualFree(region, 0, MEM_RELEASE);
    }
    reserved_ = false;
}

bool TEmergencyReserve::Reserved() const
{
    const std::lock_guard guard(lock_);
    return reserved_;
}

TEmergencyReserve& EmergencyReserve()
{
    static TEmergencyReserve reserve;
    return reserve;
}
