#include "api/ApiFrame.h"
#include "common/FakeLink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

class ApiFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateGlobalHandles();
        SetError(kErrUndefined, "left over");
    }
    void TearDown() override { FreeGlobalHandles(); }
};

TEST_F(ApiFrameTest, CodeFrameClearsTheErrorAndReturnsTheWorksResult)
{
    EXPECT_EQ(0u, CiCall([] { return 0u; }));
    EXPECT_EQ(0u, LastErrorCode());
    EXPECT_EQ("", LastErrorMessage());

    EXPECT_EQ(kErrNotOpened, CiCall([] { return SetError(kErrNotOpened); }));
    EXPECT_EQ("Connection is not opened.", LastErrorMessage());
}

TEST_F(ApiFrameTest, CodeFrameTurnsEveryThrowIntoTheLastError)
{
    EXPECT_EQ(kErrBadConnectionString, CiCall([]() -> uint32_t {
                  throw EConduvexError("Inknown provider X", kErrBadConnectionString);
              }));
    EXPECT_EQ(kErrBadConnectionString, LastErrorCode());
    EXPECT_EQ("Inknown provider X", LastErrorMessage());

    EXPECT_EQ(kErrException, CiCall([]() -> uint32_t { throw std::runtime_error("boom"); }));
    EXPECT_EQ("boom", LastErrorMessage());

    EXPECT_EQ(kErrException, CiCall([]() -> uint32_t { throw 42; }));
    EXPECT_EQ(kErrException, LastErrorCode());
    EXPECT_EQ("Exception raised.", LastErrorMessage());
}

TEST_F(ApiFrameTest, ValueFrameGivesTheFailureValueAfterAThrow)
{
    EXPECT_EQ(7, CiCallValue(-1, [] { return 7; }));
    EXPECT_EQ(0u, LastErrorCode());

    EXPECT_EQ(-1, CiCallValue(-1, []() -> int { RaiseCode(kErrIndexOutOfBand); }));
    EXPECT_EQ(kErrIndexOutOfBand, LastErrorCode());
    EXPECT_EQ("Index out of band.", LastErrorMessage());
}

TEST_F(ApiFrameTest, LinkFrameRejectsHandlesNotInTheTable)
{
    bool worked = false;
    const auto work = [&](ICommunicationInterface&) {
        worked = true;
        return 0u;
    };
    const auto stranger = MakeObject<TFakeLink>();

    EXPECT_EQ(kErrInvalidHandle, CiCallLink(0, work));
    EXPECT_EQ("Invalid handle.", LastErrorMessage());
    EXPECT_EQ(kErrInvalidHandle, CiCallLink(static_cast<uint32_t>(IdentityOf(stranger.Get())), work));
    EXPECT_EQ(-1, CiCallLinkValue(0, -1, [&](ICommunicationInterface&) { return 5; }));
    EXPECT_EQ(kErrInvalidHandle, LastErrorCode());
    EXPECT_FALSE(worked);
}

TEST_F(ApiFrameTest, LinkFrameHandsTheLinkToTheWork)
{
    const auto link = MakeObject<TFakeLink>("LINK-ID");
    const uint32_t handle =
        GlobalHandles().AddCommInterface(static_cast<ICommunicationInterface*>(link.Get()));

    std::string seen;
    EXPECT_EQ(0u, CiCallLink(handle, [&](ICommunicationInterface& found) {
                  seen = found.GetID();
                  return 0u;
              }));
    EXPECT_EQ("LINK-ID", seen);
    EXPECT_EQ(3, CiCallLinkValue(handle, -1, [](ICommunicationInterface&) { return 3; }));
}

TEST_F(ApiFrameTest, HandleCheckAcceptsOnlyHandlesInTheTable)
{
    const auto link = MakeObject<TFakeLink>();
    const uint32_t handle =
        GlobalHandles().AddCommInterface(static_cast<ICommunicationInterface*>(link.Get()));

    EXPECT_EQ(0u, CiCall([&] {
                  RequireHandle(handle);
                  return 0u;
              }));
    EXPECT_EQ(kErrInvalidHandle, CiCall([&] {
                  RequireHandle(handle + 4);
                  return 0u;
              }));
}

TEST_F(ApiFrameTest, WithoutTheTableEveryHandleIsACriticalError)
{
    FreeGlobalHandles();
    EXPECT_EQ(kErrCritical, CiCallLink(1, [](ICommunicationInterface&) { return 0u; }));
    EXPECT_EQ("Undefined critical error.", LastErrorMessage());
    CreateGlobalHandles();
}

TEST_F(ApiFrameTest, NilHostPointersAreInvalidParameters)
{
    EXPECT_EQ(kErrInvalidParameters, CiCall([] {
                  PutBool(nullptr, true);
                  return 0u;
              }));
    EXPECT_EQ("Invalid parameters.", LastErrorMessage());

    char buffer[8] = "keep";
    EXPECT_EQ(kErrInvalidParameters, CiCall([&] { return PutText("abc", buffer, nullptr); }));
    EXPECT_EQ(kErrInvalidParameters,
              CiCall([&] { return PutTextTruncated("abc", buffer, nullptr); }));
    EXPECT_STREQ("keep", buffer);
}

TEST_F(ApiFrameTest, BooleansAreMinusOneAndZero)
{
    int32_t value = 5;
    PutBool(&value, true);
    EXPECT_EQ(-1, value);
    PutBool(&value, false);
    EXPECT_EQ(0, value);
}

// Text out as the ci exports give it ------------------------------------------------------

class PutTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearError();
        std::memset(buffer_, '#', sizeof buffer_);
    }

    char buffer_[16];
};

TEST_F(PutTextTest, NilBufferAsksForTheSizeWithTheNul)
{
    int32_t length = 3;
    EXPECT_EQ(0u, PutText("abcde", nullptr, &length));
    EXPECT_EQ(6, length);
    EXPECT_EQ(0u, LastErrorCode());
}

TEST_F(PutTextTest, ExactRoomWritesTextAndNulAndGivesTheLengthWithout)
{
    int32_t length = 6;
    EXPECT_EQ(0u, PutText("abcde", buffer_, &length));
    EXPECT_STREQ("abcde", buffer_);
    EXPECT_EQ(5, length);
}

TEST_F(PutTextTest, RoomForTheTextButNotTheNulIsTooSmall)
{
    int32_t length = 5;
    EXPECT_EQ(kErrBufferTooSmall, PutText("abcde", buffer_, &length));
    EXPECT_EQ(6, length);
    EXPECT_EQ("Need more buffer size.", LastErrorMessage());
    EXPECT_EQ('#', buffer_[0]) << "nothing written";
}

TEST_F(PutTextTest, NegativeLengthCountsAsNoRoom)
{
    int32_t length = -100;
    EXPECT_EQ(kErrBufferTooSmall, PutText("", buffer_, &length));
    EXPECT_EQ(1, length);
    EXPECT_EQ('#', buffer_[0]);
}

TEST_F(PutTextTest, EmptyTextInARoomOfOneIsJustTheNul)
{
    int32_t length = 1;
    EXPECT_EQ(0u, PutText("", buffer_, &length));
    EXPECT_EQ('\0', buffer_[0]);
    EXPECT_EQ(0, length);
}

// Text out as the last error's text is given -------------------------------------------

TEST_F(PutTextTest, TruncatedFormCutsToTheRoomAndKeepsTheError)
{
    SetError(kErrInvalidHandle);
    int32_t length = 4;
    EXPECT_EQ(kErrBufferTooSmall, PutTextTruncated("abcdef", buffer_, &length));
    EXPECT_STREQ("abc", buffer_);
    EXPECT_EQ('#', buffer_[4]) << "nothing beyond the room";
    EXPECT_EQ(7, length);
    EXPECT_EQ(kErrInvalidHandle, LastErrorCode());
}

TEST_F(PutTextTest, TruncatedFormReportsTheLengthWithTheNulOnSuccess)
{
    int32_t length = 7;
    EXPECT_EQ(0u, PutTextTruncated("abcdef", buffer_, &length));
    EXPECT_STREQ("abcdef", buffer_);
    EXPECT_EQ(7, length);

    EXPECT_EQ(0u, PutTextTruncated("abcdef", nullptr, &length));
    EXPECT_EQ(7, length);
}

TEST_F(PutTextTest, TruncatedFormWithNoRoomWritesNothing)
{
    for (int32_t room : {0, -1, INT32_MIN}) {
        int32_t length = room;
        EXPECT_EQ(kErrBufferTooSmall, PutTextTruncated("abc", buffer_, &length)) << room;
        EXPECT_EQ(4, length);
        EXPECT_EQ('#', buffer_[0]);
    }
}

} // namespace
