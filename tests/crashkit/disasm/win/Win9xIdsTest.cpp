#include "Win9xIds.h"

#include <gtest/gtest.h>

namespace {

// NT hands out plain IDs: neither thread-record layout may be believed here.
TEST(Win9xIds, NoObfuscatorOnNt) {
  EXPECT_EQ(0u, GetWin9xIdObfuscator());
  EXPECT_FALSE(Win9xIdLayoutIsFirst());
  EXPECT_EQ(GetWin9xIdObfuscator(), GetWin9xIdObfuscator());
}

}  // namespace
