#include "conduvex/api/LinkTableFixture.h"
#include "Vantel97.h"

namespace {

struct TReadFrame {
    uint32_t code = 0;
    uint8_t address = 0;
    uint8_t signature = 0;
    uint8_t instruction = 0;
    int32_t dataLength = 0;
    std::string data;
};

class VantelReadExportsTest : public TLinkTableFixture {
protected:
    void SetUp() override
    {
        TLinkTableFixture::SetUp();
        link_ = MakeObject<TFakeLink>();
        handle_ = Add(link_);
    }

    // ciReadVant97 with a data buffer of the given capacity, or none (capacity < 0).
    TReadFrame Read(int32_t capacity, int32_t lengthOnEntry)
    {
        TReadFrame result;
        uint8_t buffer[64] = {};
        result.dataLength = lengthOnEntry;
        result.code = ciReadVant97(handle_, &result.address, &result.signature, &result.instruction,
                                   capacity < 0 ? nullptr : buffer, &result.dataLength);
        if (result.code == 0 && capacity >= 0)
            result.data.assign(reinterpret_cast<const char*>(buffer), static_cast<size_t>(result.dataLength));
        return result;
    }
    TReadFrame ReadInto(int32_t capacity) { return Read(capacity, capacity); }

    TIntfPtr<TFakeLink> link_;
    CI_HANDLE handle_ = 0;
};

TEST_F(VantelReadExportsTest, AFullReadTakesExactlyTheFirstFrame)
{
    link_->QueueIncoming(BuildVantel97(0x11, 0x22, 0x33, "abc") + "tail");
    const TReadFrame frame = ReadInto(16);
    ASSERT_EQ(0u, frame.code) << ErrorText();
    EXPECT_EQ(0x11, frame.address);
    EXPECT_EQ(0x22, frame.signature);
    EXPECT_EQ(0x33, frame.instruction);
    EXPECT_EQ(3, frame.dataLength);
    EXPECT_EQ("abc", frame.data);
    EXPECT_EQ(4, ciReadLength(handle_));
}

TEST_F(VantelReadExportsTest, ANilBufferAsksForTheDataSizeAndKeepsTheFrame)
{
    link_->QueueIncoming(BuildVantel97(1, 2, 3, "abcd"));
    const TReadFrame query = Read(-1, 0);
    EXPECT_EQ(kErrBufferTooSmall, query.code);
    EXPECT_EQ(4, query.dataLength);
    EXPECT_EQ(13, ciReadLength(handle_));
    EXPECT_EQ("abcd", ReadInto(4).data);
}

TEST_F(VantelReadExportsTest, ANilBufferTakesAFrameWithoutData)
{
    link_->QueueIncoming(BuildVantel97(7, 8, 9, "") + "x");
    const TReadFrame frame = Read(-1, 100);
    EXPECT_EQ(0u, frame.code);
    EXPECT_EQ(0, frame.dataLength);
    EXPECT_EQ(7, frame.address);
    EXPECT_EQ(9, frame.instruction);
    EXPECT_EQ(1, ciReadLength(handle_));
}

TEST_F(VantelReadExportsTest, AShortBufferGetsTheWholeFramesLengthAndKeepsTheFrame)
{
    link_->QueueIncoming(BuildVantel97(1, 2, 3, "abcd"));
    const TReadFrame frame = ReadInto(3);
    EXPECT_EQ(kErrBufferTooSmall, frame.code);
    EXPECT_EQ(13, frame.dataLength) << "4 data bytes + 9";
    EXPECT_EQ(0, frame.address) << "nothing given";
    EXPECT_EQ(13, ciReadLength(handle_));
}

TEST_F(VantelReadExportsTest, AFrameWithABadChecksumOrEndIsDroppedAndTheNextOneIsRead)
{
    std::string badChecksum = BuildVantel97(1, 2, 3, "ab");
    badChecksum[7] ^= 1;
    std::string badEnd = BuildVantel97(1, 2, 3, "ab");
    badEnd.back() = '\n';
    link_->QueueIncoming(badChecksum + badEnd + BuildVantel97(4, 5, 6, "ok"));

    for (int bad = 0; bad < 2; ++bad) {
        const TReadFrame frame = ReadInto(16);
        EXPECT_EQ(kErrBadVantelPacket, frame.code);
        EXPECT_EQ("Bad vantel packet.", ErrorText());
        EXPECT_EQ(0, frame.dataLength);
    }
    const TReadFrame good = ReadInto(16);
    EXPECT_EQ(0u, good.code);
    EXPECT_EQ("ok", good.data);
    EXPECT_EQ(0, ciReadLength(handle_));
}

TEST_F(VantelReadExportsTest, AFrameTooShortToParseIsDroppedToo)
{
    // LEN 4 passes every check of the frame but leaves no room for its fields.
    std::string frame = {'*', 'a', 0, 4, 1, 2};
    frame += static_cast<char>(VantelChecksum(frame));
    frame += '\r';
    ASSERT_EQ(kVantelCheckOk, CheckVantel97(frame));
    link_->QueueIncoming(frame);
    EXPECT_EQ(kErrBadVantelPacket, ReadInto(16).code);
    EXPECT_EQ(0, ciReadLength(handle_));
}

TEST_F(VantelReadExportsTest, AnIncompleteFrameOrOtherBytesStayWhereTheyAre)
{
    const std::string frame = BuildVantel97(1, 2, 3, "abc");
    link_->QueueIncoming(frame.substr(0, frame.size() - 1));
    TReadFrame read = ReadInto(16);
    EXPECT_EQ(kErrBadVantelPacket, read.code);
    EXPECT_EQ(0, read.dataLength);
    EXPECT_EQ(11, ciReadLength(handle_));

    link_->QueueIncoming(frame.substr(frame.size() - 1));
    EXPECT_EQ("abc", ReadInto(16).data) << "completed later, it is read";

    link_->QueueIncoming("noise");
    EXPECT_EQ(kErrBadVantelPacket, ReadInto(16).code);
    EXPECT_EQ(5, ciReadLength(handle_));
    EXPECT_EQ(kErrBadVantelPacket, ReadInto(16).code) << "an empty buffer has no frame";
}

TEST_F(VantelReadExportsTest, MissingPointersTakeNothing)
{
    link_->QueueIncoming(BuildVantel97(1, 2, 3, "abc"));
    uint8_t header = 0;
    uint8_t data[8];
    int32_t length = sizeof data;
    EXPECT_EQ(kErrInvalidParameters, ciReadVant97(handle_, nullptr, &header, &header, data, &length));
    EXPECT_EQ(kErrInvalidParameters, ciReadVant97(handle_, &header, &header, &header, data, nullptr));
    EXPECT_EQ(12, ciReadLength(handle_));
}

} // namespace
