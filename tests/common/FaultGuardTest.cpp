// Guarded work: faults in our code and in the C runtime's come back as failures with their
// record; nested guards each take their own; the thread runs on as before.
#include <gtest/gtest.h>

#include "ConduvexError.h"
#include "FaultGuard.h"
#include "support/EdgePages.h"
#include "WinHandle.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

class FaultGuardTest : public ::testing::Test {
protected:
    void SetUp() override { InstallFaultGuard(); }
    void TearDown() override { RemoveFaultGuard(); }
};

struct TFaultCase {
    const char* name;
    void (*work)(char* edge);
    ULONG_PTR accessKind; // 0 read, 1 write
};

const TFaultCase kFaultCases[] = {
    {"own read", [](char* edge) { static_cast<void>(*static_cast<volatile char*>(edge)); }, 0},
    {"own write", [](char* edge) { *static_cast<volatile char*>(edge) = 1; }, 1},
    {"runtime length across the edge",
     [](char* edge) {
         std::memset(edge - 16, 'x', 16);
         volatile size_t length = std::strlen(edge - 16);
         static_cast<void>(length);
     },
     0},
    {"runtime copy across the edge",
     [](char* edge) {
         static char source[64];
         std::memcpy(static_cast<void*>(edge - 16), source, sizeof source);
     },
     1},
};

TEST_F(FaultGuardTest, AFaultAnywhereInTheWorkComesBackWithItsRecordAndTheThreadGoesOn)
{
    const TEdgePages pages;
    for (const TFaultCase& test : kFaultCases) {
        SCOPED_TRACE(test.name);
        TGuardedFault fault;
        auto work = [&] { test.work(pages.Edge()); };
        const auto run = [](void* data) { (*static_cast<decltype(work)*>(data))(); };
        ASSERT_FALSE(RunGuarded(run, &work, fault));
        EXPECT_EQ(fault.record.ExceptionCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
        ASSERT_GE(fault.record.NumberParameters, 2u);
        EXPECT_EQ(fault.record.ExceptionInformation[0], test.accessKind);
        // A copy may begin at either end.
        EXPECT_TRUE(pages.InNoAccessPage(fault.record.ExceptionInformation[1]));
        const std::string message = FaultMessage(fault.record);
        EXPECT_EQ(message.rfind("Access violation at address ", 0), 0u) << message;
        EXPECT_NE(message.find(test.accessKind ? ". Write of address " : ". Read of address "), std::string::npos)
            << message;
    }
    int ran = 0;
    TGuardedFault fault;
    EXPECT_TRUE(RunGuarded([](void* count) { ++*static_cast<int*>(count); }, &ran, fault));
    EXPECT_EQ(ran, 1);
}

TEST_F(FaultGuardTest, NestedGuardsEachTakeTheirOwnFaultAndAFaultIsRaisedAsTheLibrarysError)
{
    const TEdgePages pages;
    struct TNested {
        char* edge;
        bool innerFaulted = false;
        bool outerFinished = false;
    } nested{pages.Edge()};
    TGuardedFault outer;
    EXPECT_TRUE(RunGuarded(
        [](void* data) {
            auto& state = *static_cast<TNested*>(data);
            TGuardedFault inner;
            state.innerFaulted = !RunGuarded([](void* edge) { *static_cast<volatile char*>(edge) = 1; },
                                             state.edge, inner);
            state.outerFinished = true;
        },
        &nested, outer));
    EXPECT_TRUE(nested.innerFaulted);
    EXPECT_TRUE(nested.outerFinished);
    try {
        Guarded([&] { static_cast<void>(*static_cast<volatile char*>(pages.Edge())); });
        ADD_FAILURE() << "the fault was not raised";
    } catch (const EConduvexError& error) {
        EXPECT_EQ(error.Code(), kErrException);
        EXPECT_EQ(std::string(error.what()).rfind("Access violation", 0), 0u) << error.what();
    }
}

} // namespace
