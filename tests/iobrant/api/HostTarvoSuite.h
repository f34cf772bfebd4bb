#pragma once
// A suite of host tests on one module simulator: the simulator starts once for the suite
// (`Suite::StartSimulator()` says which), and every test opens a Tarvo of its own on it.
#include "iobrant/api/IobrantHost.h"
#include "iobrant/api/PinnedIobrant.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

template <class Suite, class Base = ::testing::Test>
class THostTarvoSuite : public Base {
protected:
    static void SetUpTestSuite()
    {
        conduvex = std::make_unique<TConduvexLibrary>();
        simulator = Suite::StartSimulator();
    }

    static void TearDownTestSuite()
    {
        simulator.reset();
        conduvex.reset();
    }

    void TearDown() override
    {
        if (handle != 0) {
            EXPECT_EQ(iobrant.qReleaseTarvo(handle), 0u);
        }
    }

    // Puts the simulator in a known state with `preparation`, then creates and opens the
    // test's Tarvo on `connectionString`. Call under ASSERT_NO_FATAL_FAILURE.
    void OpenTarvo(const std::string& connectionString, const std::string& preparation)
    {
        ASSERT_EQ(simulator->Failure(), "");
        ASSERT_TRUE(iobrant.Complete());
        ASSERT_EQ(simulator->Command(preparation), "OK");
        handle = iobrant.qCreateTarvo(connectionString.c_str(), "ADDR=3");
        ASSERT_NE(handle, 0u) << iobrant.ErrorText();
        ASSERT_EQ(iobrant.qOpen(handle), 0u) << iobrant.ErrorText();
    }

    inline static std::unique_ptr<TConduvexLibrary> conduvex;
    inline static std::unique_ptr<TModuleSimulator> simulator;
    TIobrantLibrary iobrant;
    Q_HANDLE handle = 0;
};
