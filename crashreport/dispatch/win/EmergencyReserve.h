#pragma once
// Address space and memory kept back while nothing goes wrong and given back before a report
// is made, so that a report can still be built after the process ran out of memory.
#include <array>
#include <mutex>

class TEmergencyReserve {
public:
    static constexpr size_t kRegions = 4;
    static constexpr size_t kReservedSize = 4 * 1024 * 1024;
    static constexpr size_t kCommittedSize = 512 * 1024;

    TEmergencyReserve() = default;
    ~TEmergencyReserve() { Release(); }
    TEmergencyReserve(const TEmergencyReserve&) = delete;
    TEmergencyReserve& operator=(const TEmergencyReserve&) = delete;

    void Reserve();
    void Release();
    bool Reserved() const;

private:
    mutable std::mutex lock_;
    bool reserved_ = false;
    std::array<void*, kRegions> reservedRegions_{};
    std::array<void*, kRegions> committedRegions_{};
};

TEmergencyReserve& EmergencyReserve();
