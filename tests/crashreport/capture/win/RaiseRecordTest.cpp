#include "capture/win/RaiseRecord.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "RecordingSink.h"
#include "handlers/HandlerLists.h"

namespace {

struct TPlainValue {
    int value;
};

void NotifyHandler(IHandlerException&, uint8_t, bool&) {}

class RaiseRecordTest : public testing::Test {
protected:
    void TearDown() override
    {
        HandlerLists().Clear();
        ClearRaiseRecord();
    }
};

TEST_F(RaiseRecordTest, AThrowIsRecordedUntilItsObjectIsFreed)
{
    const void* caughtObject = nullptr;
    try {
        throw std::runtime_error("first failure");
    } catch (const std::runtime_error& error) {
        caughtObject = &error;
        const TRaiseRecord& record = ThisThreadRaiseRecord();
        EXPECT_EQ(record.object, caughtObject);
        EXPECT_EQ(record.className, "std::runtime_error");
        EXPECT_EQ(record.message, "first failure");
        EXPECT_FALSE(record.external);
        EXPECT_TRUE(record.inner.empty());
        HMODULE module = nullptr;
        ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                       static_cast<LPCWSTR>(record.address), &module));
        EXPECT_EQ(module, GetModuleHandleW(nullptr)); // the throw site is in this program
    }
    ASSERT_NE(caughtObject, nullptr);
    EXPECT_EQ(ThisThreadRaiseRecord().object, nullptr);
    EXPECT_TRUE(ThisThreadRaiseRecord().className.empty());
}

TEST_F(RaiseRecordTest, AThrowWhileAnotherIsCaughtKeepsTheOlderAsInner)
{
    try {
        try {
            throw std::logic_error("inner cause");
        } catch (const std::exception&) {
            throw TPlainValue{7};
        }
    } catch (const TPlainValue& value) {
        EXPECT_EQ(value.value, 7);
        const TRaiseRecord& record = ThisThreadRaiseRecord();
        EXPECT_EQ(record.object, &value);
        EXPECT_NE(record.className.find("TPlainValue"), AnsiString::npos);
        EXPECT_TRUE(record.message.empty()); // no std::exception
        ASSERT_EQ(record.inner.size(), 1u);
        EXPECT_EQ(record.inner[0].className, "std::logic_error");
        EXPECT_EQ(record.inner[0].message, "inner cause");
    }
}

TEST_F(RaiseRecordTest, ARethrowIsMarkedAndKeepsItsObject)
{
    try {
        try {
            throw std::runtime_error("again");
        } catch (...) {
            throw;
        }
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(ThisThreadRaiseRecord().object, &error);
        EXPECT_TRUE(ThisThreadRaiseRecord().reraised);
        EXPECT_TRUE(ThisThreadRaiseRecord().inner.empty());
    }
}

TEST_F(RaiseRecordTest, RaisesAreNotifiedOnlyWhileNotificationHandlersAreRegistered)
{
    TRecordingSink sink;
    const auto raise = [] {
        try {
            throw std::out_of_range("index 9");
        } catch (const std::exception&) {
        }
    };
    raise();
    EXPECT_TRUE(sink.Recorded().empty());

    ASSERT_TRUE(HandlerLists().Add(THandlerKind::RaiseNotify, NotifyHandler, THandlerThread::Handling, 0));
    raise();
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caught.kind, TRequestKind::RaiseNotification);
    EXPECT_EQ(recorded[0].caught.source, TCaptureSource::RaiseNotification);
    EXPECT_EQ(recorded[0].caught.className, "std::out_of_range");
    EXPECT_EQ(recorded[0].caught.message, "index 9");
    EXPECT_NE(recorded[0].caught.object, nullptr);

    // Nothing the handling thread raises is notified.
    sink.handlingThread = GetCurrentThreadId();
    raise();
    EXPECT_EQ(sink.Recorded().size(), 1u);
}

// A sink whose handling raises and catches on its own.
class TRaisingSink : public TRecordingSink {
public:
    void HandleException(const TCaughtException& exception) override
    {
        TRecordingSink::HandleException(exception);
        try {
            throw std::runtime_error("inside the handling");
        } catch (const std::exception&) {
        }
    }
};

TEST_F(RaiseRecordTest, ANotificationDoesNotNotifyWhatItRaisesItself)
{
    TRaisingSink sink;
    HandlerLists().Add(THandlerKind::RaiseNotify, NotifyHandler, THandlerThread::Handling, 0);
    try {
        throw std::runtime_error("outer");
    } catch (const std::exception&) {
    }
    const auto recorded = sink.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caught.message, "outer");
}

TEST_F(RaiseRecordTest, SuspendedRecordingKeepsTheRecordAsItIs)
{
    ThisThreadRaiseRecord().suspended = true;
    try {
        throw std::runtime_error("unrecorded");
    } catch (const std::exception&) {
        EXPECT_EQ(ThisThreadRaiseRecord().object, nullptr);
    }
    ThisThreadRaiseRecord().suspended = false;
}

} // namespace
