// Sections written by the report builder's own composers, read back by their views.
#include <gtest/gtest.h>

#include <random>

#include "DialogTestText.h"
#include "dialog/SectionTables.h"
#include "report/RegisterText.h"
#include "report/StackDumpText.h"

namespace {

std::string Hex(uint64_t value, int digits)
{
    char text[24] = {};
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

TEST(FixedSectionsRoundTripTest, StackDumpLinesOfEveryLength)
{
    std::mt19937 random(1209);
    for (size_t size = 1; size <= 40; ++size) {
        std::vector<uint8_t> bytes(size);
        for (uint8_t& byte : bytes)
            byte = static_cast<uint8_t>(random());
        const uint64_t start = 0x0012ff00u + 16 * size;
        const TViewTable table = BuildSectionTable(u"stack dump", StackDumpText(start, bytes));
        ASSERT_EQ(table.rows.size(), (size + 15) / 16);
        for (size_t line = 0; line < table.rows.size(); ++line) {
            std::string hex, chars;
            for (size_t i = line * 16; i < std::min(size, line * 16 + 16); ++i) {
                if (i % 16 == 8)
                    hex += "- ";
                hex += Hex(bytes[i], 2) + " ";
                chars += bytes[i] >= 32 && bytes[i] <= 126 ? static_cast<char>(bytes[i]) : '.';
            }
            hex.pop_back();
            const std::vector<UnicodeString>& cells = table.rows[line].cells;
            ASSERT_EQ(cells.size(), 3u);
            EXPECT_EQ(Narrow(cells[0]), Hex(start + line * 16, 8));
            EXPECT_EQ(Narrow(cells[1]), hex) << size;
            EXPECT_EQ(Narrow(cells[2]), chars) << size;
        }
    }
}

TEST(FixedSectionsRoundTripTest, RegistersOfBothWidths)
{
    for (const int digits : {8, 16}) {
        const TRegisterSet set{{{u"eax", 0x12ff40}, {u"ebx", 0}, {u"eip", 0x401a2c}}, digits};
        const TViewTable table = BuildSectionTable(u"cpu registers", RegistersText(set));
        ASSERT_EQ(table.rows.size(), 3u);
        EXPECT_EQ(Narrow(table.rows[2].cells[0]), "eip");
        EXPECT_EQ(Narrow(table.rows[2].cells[1]), Hex(0x401a2c, digits));
    }
}

} // namespace
