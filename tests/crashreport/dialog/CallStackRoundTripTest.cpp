// Stacks written by the stack tracer's own text composer, read back by the call-stack view:
// every item's address, module, unit, line and function land in their columns, whichever
// relative columns the settings ask for.
#include "dialog/CallStackTable.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "DialogTestText.h"
#include "StackText.h"
#include "dialog/ColumnList.h"

namespace {

struct TModule {
    const char16_t* name;
    bool debugInfo;
};

constexpr TModule Modules[] = {{u"Conduvex.dll", true}, {u"host.exe", true}, {u"kernel32.dll", false},
                               {u"ntdll.dll", false}};
constexpr const char16_t* Units[] = {u"ScComPort.cpp", u"Main.cpp", u"LinkThread.cpp", u"zelExcept.pas"};
constexpr const char16_t* Functions[] = {u"TScComPort::Open", u"main", u"ciOpen", u"TLinkThread::Execute",
                                         u"BaseProcessStart", u"_RtlUserThreadStart"};

std::vector<TNamedStackItem> RandomStack(std::mt19937& random)
{
    std::vector<TNamedStackItem> items(2 + random() % 9);
    for (size_t i = 0; i < items.size(); ++i) {
        TStackItem& item = items[i].item;
        // The first item always has a line, so that the line column exists.
        const TModule& module = i == 0 ? Modules[0] : Modules[random() % 4];
        item.address = 0x00400000u + random() % 0x00ffffffu;
        item.relativeAddress = random() % 0x3000;
        item.moduleName = module.name;
        item.functionName = Functions[random() % 6];
        if (module.debugInfo) {
            item.unitName = Units[random() % 4];
            item.line = 1 + static_cast<int32_t>(random() % 3000);
            item.relativeLine = static_cast<int32_t>(random() % 60);
        }
    }
    return items;
}

UnicodeString Text(const std::string& text)
{
    return UnicodeString(text.begin(), text.end());
}

std::map<std::string, UnicodeString> ExpectedCells(const TStackItem& item, bool relativeLines)
{
    char hex[16] = {};
    std::snprintf(hex, sizeof hex, "%x", item.relativeAddress);
    std::map<std::string, UnicodeString> cells = {
        {"ADDRESS", HexAddress(item.address)},
        {"REL.", u"+" + Text(hex)},
        {"module", item.moduleName},
        {"unit", item.unitName},
        {"line", item.line > 0 ? Text(std::to_string(item.line)) : UnicodeString()},
        {"function", item.functionName},
    };
    if (relativeLines && item.line > 0)
        cells["rel."] = u"+" + Text(std::to_string(item.relativeLine));
    else
        cells["rel."] = item.relativeLine > 0 ? Text(std::to_string(item.relativeLine)) : UnicodeString();
    return cells;
}

TEST(CallStackRoundTripTest, TheTracersColumnsAreFoundAgain)
{
    std::mt19937 random(20261209);
    for (int round = 0; round < 60; ++round) {
        const bool relativeAddresses = round % 2 == 0;
        const bool relativeLines = round % 4 < 2;
        const std::vector<TNamedStackItem> items = RandomStack(random);
        const UnicodeString text = ComposeStackText(items, relativeAddresses, relativeLines);
        const TViewTable table = BuildCallStackTable(text);
        ASSERT_EQ(table.rows.size(), items.size()) << Narrow(text);
        for (size_t row = 0; row < items.size(); ++row) {
            const std::map<std::string, UnicodeString> expected = ExpectedCells(items[row].item, relativeLines);
            ASSERT_EQ(table.rows[row].cells.size(), table.columns.size()) << Narrow(text);
            for (size_t column = 0; column < table.columns.size(); ++column) {
                const std::string caption = Narrow(HeaderCaption(table.columns[column]));
                ASSERT_TRUE(expected.count(caption)) << caption;
                EXPECT_EQ(Narrow(table.rows[row].cells[column]), Narrow(expected.at(caption)))
                    << caption << " of row " << row << " in\n" << Narrow(text);
            }
        }
        EXPECT_EQ(table.columns.size(), relativeAddresses ? 7u : 6u) << Narrow(text);
    }
}

} // namespace
