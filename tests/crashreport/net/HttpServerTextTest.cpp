#include "net/HttpServerText.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpServerText, SchemeHostAndPath)
{
    const THttpServerText full = ParseHttpServerText("https://reports.example.org/upload/form.php");
    EXPECT_EQ(full.host, "reports.example.org");
    EXPECT_EQ(full.path, "/upload/form.php");
    const THttpServerText bare = ParseHttpServerText("reports.example.org");
    EXPECT_EQ(bare.host, "reports.example.org");
    EXPECT_EQ(bare.path, "/");
    EXPECT_EQ(ParseHttpServerText("host/a").path, "/a");
}

TEST(HttpServerText, OnlyWebAddressesAreOpened)
{
    EXPECT_TRUE(IsWebUrl("http://example.org/thanks"));
    EXPECT_TRUE(IsWebUrl("HTTPS://example.org/"));
    EXPECT_FALSE(IsWebUrl("file:///C:/Windows/system32/calc.exe"));
    EXPECT_FALSE(IsWebUrl("C:\\evil.exe"));
    EXPECT_FALSE(IsWebUrl("javascript:alert(1)"));
    EXPECT_FALSE(IsWebUrl("http://example.org/a b"));
    EXPECT_FALSE(IsWebUrl("http:/"));
}

} // namespace
