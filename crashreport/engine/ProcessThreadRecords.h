#pragma once
// Thread ids of one process in the system's process-information list (information class 5),
// read with every offset checked against the data.
#include <cstdint>
#include <span>
#include <vector>

struct TProcessRecordLayout {
    uint32_t processIdOffset;
    uint32_t threadsOffset;     // first thread record, from the process record's start
    uint32_t threadRecordSize;
    uint32_t threadIdOffset;    // inside a thread record
    unsigned idSize;            // 4 or 8 bytes
};

// 32-bit system before and after NT 4, and 64-bit.
extern const TProcessRecordLayout kProcessLayoutNt4;
extern const TProcessRecordLayout kProcessLayout32;
extern const TProcessRecordLayout kProcessLayout64;

std::vector<uint32_t> ThreadIdsOfProcess(std::span<const uint8_t> list, uint32_t processId,
                                         const TProcessRecordLayout& layout);
