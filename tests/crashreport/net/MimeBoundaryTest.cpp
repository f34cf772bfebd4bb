#include "net/MimeBoundary.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <vector>

namespace {

// The usual boundary while the content does not hold it; else random ones until one is not
// held, which never need quoting and stay within RFC 2046's 70 characters.
TEST(MimeBoundary, ChosenBoundaryIsOneTheContentDoesNotHold)
{
    EXPECT_EQ(ChooseBoundary([](std::string_view) { return false; }), kMultipartBoundary);
    std::vector<AnsiString> asked;
    const AnsiString chosen = ChooseBoundary([&asked](std::string_view boundary) {
        asked.emplace_back(boundary);
        return asked.size() < 3;
    });
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0], kMultipartBoundary);
    EXPECT_EQ(chosen, asked[2]);
    EXPECT_EQ(std::set<AnsiString>(asked.begin(), asked.end()).size(), 3u);
    for (const AnsiString& boundary : asked) {
        EXPECT_LE(boundary.size(), 70u);
        EXPECT_TRUE(boundary.starts_with(kMultipartBoundary)) << boundary;
        for (const char c : boundary)
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') << boundary;
    }
}

TEST(MimeBoundary, TextSearchFindsTheTextAcrossCuts)
{
    struct TRow {
        std::vector<std::string_view> pieces;
        bool found;
    };
    for (const TRow& row : {TRow{{"xx--bou", "nd", "aryyy"}, true}, TRow{{"--b", "o", "u", "n", "d", "ary"}, true},
                            TRow{{"--boundar", "--boundar"}, false}, TRow{{"boundary"}, true}, TRow{{}, false}}) {
        TTextSearch search("boundary");
        for (const std::string_view piece : row.pieces)
            search.Feed(piece);
        EXPECT_EQ(search.Found(), row.found) << row.pieces.size();
    }
}

} // namespace
