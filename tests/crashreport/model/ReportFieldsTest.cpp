#include "model/ReportFields.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>

namespace {

class TCountingSink : public IReportChangeSink {
public:
    bool Pin() override
    {
        if (!alive)
            return false;
        ++pins;
        return true;
    }
    void Unpin() override { --pins; }
    void BeginUpdate() override { ++begins; }
    void EndUpdate() override { ++ends; }
    void ReportChanged() override
    {
        ++changes;
        if (onChange)
            onChange();
    }

    bool alive = true;
    std::atomic<int> pins{0};
    int begins = 0;
    int ends = 0;
    std::atomic<int> changes{0};
    std::function<void()> onChange;
};

TReportFieldList Pairs(std::initializer_list<TReportField> pairs)
{
    return TReportFieldList(pairs);
}

class ReportFieldsTest : public ::testing::Test {
protected:
    ReportFieldsTest() { fields.SetReady(); }

    TCountingSink sink;
    TZelReportFields fields{&sink};
};

TEST(ReportFieldsNotReady, ChangesNothingUntilReady)
{
    TCountingSink sink;
    TZelReportFields fields(&sink);
    fields.SetValue(u"a", u"1");
    fields.Add(u"b", u"2");
    EXPECT_EQ(fields.Count(), 0);
    EXPECT_EQ(sink.changes.load(), 0);
    fields.SetReady();
    fields.Add(u"b", u"2");
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"b", u"2"}}));
}

TEST_F(ReportFieldsTest, SetValueTrimsReplacesIgnoringCaseAndDeletesOnEmpty)
{
    fields.SetValue(u"date/time", u"  2009-03-14  ");
    fields.SetValue(u"user", u"x");
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"date/time", u"2009-03-14"}, {u"user", u"x"}}));

    fields.SetValue(u"DATE/time", u"later");
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"DATE/time", u"later"}, {u"user", u"x"}}));
    EXPECT_EQ(fields.Value(u"date/TIME"), u"later");

    fields.SetValue(u"user", u" \r\n ");
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"DATE/time", u"later"}}));
    EXPECT_EQ(sink.changes.load(), 4);
}

TEST_F(ReportFieldsTest, ABodyOfSeveralLinesKeepsTheIndentOfItsFirstLine)
{
    fields.SetValue(u"disassembling", u"   401000   push ebp\r\n 2 401001 > ret  \r\n\r\n");
    EXPECT_EQ(fields.Value(u"disassembling"), u"   401000   push ebp\r\n 2 401001 > ret");
    // Blank lines before the first line go, its indent stays; one line is trimmed on both sides.
    fields.SetValue(u"disassembling", u" \r\n\t\n  a\r\n  b");
    EXPECT_EQ(fields.Value(u"disassembling"), u"  a\r\n  b");
    fields.SetValue(u"disassembling", u"\r\n   a  ");
    EXPECT_EQ(fields.Value(u"disassembling"), u"a");
    fields.Add(u"stack", u"  x\ny");
    EXPECT_EQ(fields.Value(u"stack"), u"  x\ny");
}

TEST_F(ReportFieldsTest, UnchangedValueAndMissingDeletesAnnounceNothing)
{
    fields.SetValue(u"a", u"1");
    fields.SetValue(u"a", u"1 ");
    fields.SetValue(u"missing", u"");
    fields.Delete(u"missing");
    fields.Delete(5);
    fields.Delete(-1);
    fields.Rename(0, u"a");
    fields.Rename(3, u"b");
    EXPECT_EQ(sink.changes.load(), 1);
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"a", u"1"}}));
}

TEST_F(ReportFieldsTest, AddKeepsDuplicatesAndSkipsEmptyValues)
{
    fields.Add(u"plugin", u"one");
    fields.Add(u"plugin", u"two");
    fields.Add(u"wts client name", u"");
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"plugin", u"one"}, {u"plugin", u"two"}}));
    EXPECT_EQ(fields.IndexOf(u"PLUGIN"), 0);
    EXPECT_EQ(fields.IndexOf(u"absent"), -1);
}

TEST_F(ReportFieldsTest, NewFieldsGoInAtTheCurrentIndexWhichFollowsDeletes)
{
    fields.Add(u"a", u"1");
    fields.Add(u"callstack crc", u"will be calculated soon");
    fields.Add(u"c", u"3");
    fields.SetCurrentIndex(2);
    fields.SetValue(u"x.zel", u"note");
    EXPECT_EQ(fields.Name(2), u"x.zel");
    fields.Delete(0);
    fields.Add(u"y.zel", u"more");
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"callstack crc", u"will be calculated soon"},
                                        {u"y.zel", u"more"},
                                        {u"x.zel", u"note"},
                                        {u"c", u"3"}}));
}

TEST_F(ReportFieldsTest, CurrentIndexBeyondTheEndAppends)
{
    fields.SetCurrentIndex(7);
    fields.Add(u"a", u"1");
    fields.Add(u"b", u"2");
    EXPECT_EQ(fields.Snapshot(), Pairs({{u"a", u"1"}, {u"b", u"2"}}));
}

TEST_F(ReportFieldsTest, OutOfRangeReadsAreEmpty)
{
    fields.Add(u"a", u"1");
    EXPECT_EQ(fields.Name(1), u"");
    EXPECT_EQ(fields.ValueAt(-1), u"");
    EXPECT_EQ(fields.Value(u"b"), u"");
    EXPECT_EQ(fields.ValueAt(0), u"1");
}

TEST_F(ReportFieldsTest, UpdatesGoToTheOwnerUntilItIsForgotten)
{
    fields.BeginUpdate();
    fields.Add(u"a", u"1");
    fields.EndUpdate();
    EXPECT_EQ(sink.begins, 1);
    EXPECT_EQ(sink.ends, 1);
    EXPECT_EQ(sink.changes.load(), 1);

    fields.ForgetOwner();
    fields.BeginUpdate();
    fields.Add(u"b", u"2");
    fields.EndUpdate();
    EXPECT_EQ(sink.begins, 1);
    EXPECT_EQ(sink.changes.load(), 1);
    EXPECT_EQ(fields.Count(), 2);
}

// The owner's callbacks run on any thread and read the lists: the data lock is not held then.
TEST_F(ReportFieldsTest, OwnerMayReadTheListFromAnotherThreadWhileTold)
{
    int seen = -1;
    sink.onChange = [&] {
        auto reader = std::async(std::launch::async, [&] { return fields.Count(); });
        ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        seen = reader.get();
    };
    fields.Add(u"a", u"1");
    EXPECT_EQ(seen, 1);
}

// A callback may wait for another thread that changes the same list.
TEST_F(ReportFieldsTest, OwnerMayWaitForAnotherThreadChangingTheListWhileTold)
{
    bool nested = false;
    sink.onChange = [&] {
        if (nested)
            return;
        nested = true;
        auto writer = std::async(std::launch::async, [&] { fields.SetValue(u"b", u"2"); });
        ASSERT_EQ(writer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    };
    fields.Add(u"a", u"1");
    EXPECT_EQ(fields.Count(), 2);
    EXPECT_EQ(sink.changes.load(), 2);
    EXPECT_EQ(sink.pins.load(), 0);
}

TEST_F(ReportFieldsTest, AnOwnerThatIsGoingIsNotTold)
{
    sink.alive = false;
    fields.BeginUpdate();
    fields.Add(u"a", u"1");
    fields.EndUpdate();
    EXPECT_EQ(sink.begins + sink.ends + sink.changes.load(), 0);
    EXPECT_EQ(fields.Count(), 1);
}

TEST_F(ReportFieldsTest, CopyHoldsThePairsWithoutOwner)
{
    fields.Add(u"a", u"1");
    fields.Add(u"b", u"2");
    const TReportFieldsRef copy = fields.Copy();
    EXPECT_EQ(copy->Snapshot(), fields.Snapshot());
    copy->SetValue(u"a", u"changed");
    EXPECT_EQ(copy->Value(u"a"), u"changed");
    EXPECT_EQ(fields.Value(u"a"), u"1");
    EXPECT_EQ(sink.changes.load(), 2);
}

} // namespace
