#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "WinHandle.h"
#include "startup/win/TraceProcess.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

constexpr DWORD kPage = 4096;

class TraceView : public ::testing::Test {
protected:
    void SetUp() override
    {
        mapping_.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPage, nullptr));
        ASSERT_TRUE(mapping_);
        view_ = static_cast<char*>(MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, 0));
        ASSERT_TRUE(view_);
        std::fill(view_, view_ + kPage, 'x');
    }
    void TearDown() override { UnmapViewOfFile(view_); }

    TWinHandle mapping_;
    char* view_ = nullptr;
};

TEST_F(TraceView, SizeOneWritesOnlyTheTerminatingNul)
{
    EXPECT_TRUE(CopyTraceIntoView(view_, 1, "trace"));
    EXPECT_EQ(view_[0], '\0');
    EXPECT_EQ(view_[1], 'x');
}

TEST_F(TraceView, ALongerTraceIsCutToSizeMinusOneAndANul)
{
    EXPECT_TRUE(CopyTraceIntoView(view_, 4, "trace"));
    EXPECT_EQ(std::string(view_), "tra");
    EXPECT_EQ(view_[4], 'x');
    EXPECT_TRUE(CopyTraceIntoView(view_, 100, "short"));
    EXPECT_EQ(std::string(view_), "short");
    EXPECT_EQ(view_[6], 'x');
}

TEST_F(TraceView, ASizeBeyondTheMappingStopsAtItsEnd)
{
    const std::string longTrace(3 * kPage, 't');
    // The caller claims a megabyte; the mapping holds a page.
    EXPECT_TRUE(CopyTraceIntoView(view_, 1 << 20, longTrace));
    EXPECT_EQ(view_[kPage - 2], 't');
    EXPECT_EQ(view_[kPage - 1], '\0');
    // Near the end of the view only what is left counts.
    EXPECT_TRUE(CopyTraceIntoView(view_ + kPage - 3, 1000, longTrace));
    EXPECT_EQ(std::string(view_ + kPage - 3), "tt");
}

TEST_F(TraceView, NothingIsWrittenForSizesBelowOneOrNoView)
{
    EXPECT_FALSE(CopyTraceIntoView(view_, 0, "trace"));
    EXPECT_FALSE(CopyTraceIntoView(view_, -5, "trace"));
    EXPECT_FALSE(CopyTraceIntoView(nullptr, 10, "trace"));
    EXPECT_EQ(view_[0], 'x');
}

// Named threads that wait until the trace is made.
class NamedThreads {
public:
    explicit NamedThreads(const std::vector<UnicodeString>& names) : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        for (const UnicodeString& name : names) {
            const TWinHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            threads_.emplace_back([&, name] {
                NameThread(GetCurrentThreadId(), name);
                SetEvent(ready.Get());
                WaitForSingleObject(release_.Get(), INFINITE);
            });
            WaitForSingleObject(ready.Get(), INFINITE);
        }
    }
    ~NamedThreads()
    {
        SetEvent(release_.Get());
        for (std::thread& thread : threads_)
            thread.join();
    }

private:
    TWinHandle release_;
    std::vector<std::thread> threads_;
};

class TraceProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ThreadNameBuffer().Open(); }
};

TEST_F(TraceProcess, WritesEveryNamedThreadIntoTheCallersMappingAndGivesTheThreadItsNameBack)
{
    NameThread(GetCurrentThreadId(), u"trace caller");
    const NamedThreads threads({u"serial writer", u"udp receiver"});
    const TWinHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1 << 20, kLocalTraceMapping));
    ASSERT_TRUE(mapping);
    auto* view = static_cast<char*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    ASSERT_TRUE(view);

    EXPECT_EQ(zelTraceProcess(1 << 20), 0);
    const std::string trace(view);
    UnmapViewOfFile(view);
    EXPECT_NE(trace.find("serial writer"), std::string::npos) << trace;
    EXPECT_NE(trace.find("udp receiver"), std::string::npos);
    EXPECT_NE(trace.find("zelExcept - TraceProcessThread"), std::string::npos) << "the caller while it traced";
    EXPECT_FALSE(TracingProcess());
    const auto entry = GetThreadEntry(GetCurrentThreadId());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, u"trace caller");
}

TEST_F(TraceProcess, WithoutAMappingNothingHappensAndTheResultIsZero)
{
    EXPECT_EQ(zelTraceProcess(100), 0);
}

} // namespace
