#include "engine/ProcessThreadRecords.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void Put(std::vector<uint8_t>& list, size_t offset, uint64_t value, unsigned size)
{
    if (list.size() < offset + size)
        list.resize(offset + size);
    std::memcpy(list.data() + offset, &value, size);
}

// A process record at offset with its thread ids.
void AddProcess(std::vector<uint8_t>& list, size_t offset, uint32_t next, uint32_t processId,
                const std::vector<uint32_t>& threads, const TProcessRecordLayout& layout)
{
    Put(list, offset, next, 4);
    Put(list, offset + 4, threads.size(), 4);
    Put(list, offset + layout.processIdOffset, processId, layout.idSize);
    for (size_t i = 0; i < threads.size(); ++i)
        Put(list, offset + layout.threadsOffset + i * layout.threadRecordSize + layout.threadIdOffset, threads[i],
            layout.idSize);
}

class ProcessThreadRecords : public testing::TestWithParam<const TProcessRecordLayout*> {};

TEST_P(ProcessThreadRecords, TheCurrentProcesssThreadsAreFoundInTheChain)
{
    const TProcessRecordLayout& layout = *GetParam();
    std::vector<uint8_t> list;
    AddProcess(list, 0, 1024, 4, {8, 12}, layout);
    AddProcess(list, 1024, 0, 0x1234, {0x20, 0x24, 0x28}, layout);
    EXPECT_EQ(ThreadIdsOfProcess(list, 0x1234, layout), (std::vector<uint32_t>{0x20, 0x24, 0x28}));
    EXPECT_EQ(ThreadIdsOfProcess(list, 4, layout), (std::vector<uint32_t>{8, 12}));
    EXPECT_TRUE(ThreadIdsOfProcess(list, 99, layout).empty());
}

TEST_P(ProcessThreadRecords, RecordsThatRunPastTheDataStopTheReading)
{
    const TProcessRecordLayout& layout = *GetParam();
    std::vector<uint8_t> list;
    AddProcess(list, 0, 0, 7, {1, 2, 3}, layout);
    Put(list, 4, 1000, 4); // claims far more threads than the data holds
    EXPECT_EQ(ThreadIdsOfProcess(list, 7, layout), (std::vector<uint32_t>{1, 2, 3}));
    Put(list, 0, 0x7FFFFFF0, 4); // a next record far behind the end
    EXPECT_TRUE(ThreadIdsOfProcess(list, 8, layout).empty());
    EXPECT_TRUE(ThreadIdsOfProcess({}, 7, layout).empty());
}

INSTANTIATE_TEST_SUITE_P(Layouts, ProcessThreadRecords,
                         testing::Values(&kProcessLayoutNt4, &kProcessLayout32, &kProcessLayout64));

} // namespace
