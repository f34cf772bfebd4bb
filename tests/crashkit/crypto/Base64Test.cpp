#include "crypto/Base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Base64, Rfc4648Vectors)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(encoded, EncodeBase64Str(plain));
        EXPECT_EQ(plain, DecodeBase64Str(encoded));
    }
}

TEST(Base64, EveryByteValueRoundTrips)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string encoded = EncodeBase64(all.data(), all.size());
    EXPECT_EQ(0u, encoded.size() % 4);
    EXPECT_EQ(all, DecodeBase64Str(encoded));
}

TEST(Base64, LengthNotAMultipleOfFourGivesNothing)
{
    EXPECT_EQ("", DecodeBase64Str("Zm9vY"));
    EXPECT_EQ("", DecodeBase64Str("Zg="));
}

TEST(Base64, StopsAtTheFirstForeignCharacterWithWholeBytesOnly)
{
    EXPECT_EQ("foo", DecodeBase64Str("Zm9v!m9v"));  // foreign first: nothing of that group
    EXPECT_EQ("foo", DecodeBase64Str("Zm9vZ===")); // 6 bits: no byte
    EXPECT_EQ("foof", DecodeBase64Str("Zm9vZm=="));
    EXPECT_EQ("fooba", DecodeBase64Str("Zm9vYmE="));
}

} // namespace
