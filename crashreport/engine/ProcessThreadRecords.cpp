#include "engine/ProcessThreadRecords.h"

#include <cstring>

const TProcessRecordLayout kProcessLayoutNt4 = {68, 136, 64, 36, 4};
const TProcessRecordLayout kProcessLayout32 = {68, 184, 64, 36, 4};
const TProcessRecordLayout kProcessLayout64 = {80, 256, 80, 48, 8};

namespace {

constexpr uint32_t kThreadCountOffset = 4;

bool ReadNumber(std::span<const uint8_t> list, uint64_t offset, unsigned size, uint64_t& value)
{
    if (offset > list.size() || size > list.size() - offset)
        return false;
    value = 0;
    std::memcpy(&value, list.data() + offset, size); // little-endian, like the system
    return true;
}

} // namespace

std::vector<uint32_t> ThreadIdsOfProcess(std::span<const uint8_t> list, uint32_t processId,
                                         const TProcessRecordLayout& layout)
{
    std::vector<uint32_t> ids;
    uint64_t record = 0;
    for (;;) {
        uint64_t next = 0;
        uint64_t count = 0;
        uint64_t id = 0;
        if (!ReadNumber(list, record, 4, next) || !ReadNumber(list, record + kThreadCountOffset, 4, count)
            || !ReadNumber(list, record + layout.processIdOffset, layout.idSize, id))
            return ids;
        if (id == processId) {
            for (uint64_t i = 0; i < count; ++i) {
                uint64_t threadId = 0;
                const uint64_t at = record + layout.threadsOffset + i * layout.threadRecordSize + layout.threadIdOffset;
                if (!ReadNumber(list, at, layout.idSize, threadId))
                    break;
                ids.push_back(static_cast<uint32_t>(threadId));
            }
            return ids;
        }
        if (next == 0)
            return ids;
        record += next;
    }
}
