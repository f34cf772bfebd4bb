#pragma once
// Tests over the stand-in converter driver, bound as the real one would be, with the two
// usual converters attached; the binding is let go after each test.
#include "ConduvexError.h"
#include "ftdi/Ftd2xx.h"
#include "conduvex/ftdi/FtdiStandInFiles.h"
#include "LastError.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

class TFtdiStandInFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        standIn_.Attach(ftdi_standin::TwoDevices());
        ftd2xx::LoadFtd2xx(ftdi_standin::DriverPath("standin").c_str());
        ASSERT_TRUE(ftd2xx::Ftd2xxLoaded());
        ClearError();
    }
    void TearDown() override { ftd2xx::UnloadFtd2xx(); }

    // "<code> <message>" of the library error the action raises.
    static std::string RaisedBy(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const EConduvexError& error) {
            return std::to_string(error.Code()) + " " + error.what();
        }
        return "nothing raised";
    }

    ftdi_standin::TStandInFiles standIn_;
};
