#include "model/win/ZelException.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "settings/BuiltinSettings.h"
#include "settings/win/DualText.h"
#include "text/TextEdit.h"

namespace {

// A builder that fills one header field and one section, completes on demand and joins the
// lists plainly.
class TFakeBuilder : public IZEReportBuilder {
public:
    void FillHeader(TIZEException&, TZelReportFields& header) override { header.Add(u"date/time", u"now"); }
    void StartSections(TIZEException&, TZelReportFields& sections) override
    {
        ++starts;
        sections.BeginUpdate();
        sections.Add(u"main thread:", u">> will be calculated soon");
        sections.Add(u"modules", u">> will be calculated soon");
        sections.EndUpdate();
    }
    void WaitForReport(TIZEException& exception) override
    {
        ++waits;
        exception.GetBugReportSections()->SetValue(u"main thread:", u"stack");
        exception.MarkComplete();
    }
    UnicodeString AssembleText(const TReportFieldList& header, const TReportFieldList& sections) override
    {
        ++assemblies;
        if (changeWhileAssembling.exchange(false)) {
            changeTarget->SetValue(u"modules", u"changed meanwhile");
        }
        UnicodeString text;
        for (const TReportField& field : header)
            text += field.name + u"=" + field.value + u";";
        for (const TReportField& field : sections)
            text += field.name + field.value + u";";
        return text;
    }

    int starts = 0;
    int waits = 0;
    std::atomic<int> assemblies{0};
    std::atomic<bool> changeWhileAssembling{false};
    TZelReportFields* changeTarget = nullptr;
};

struct TCallbackLog {
    std::vector<UnicodeString> texts;
    std::vector<bool> completes;
    std::vector<IZEException*> exceptions;       // what the plain callbacks were given
    std::vector<IZEException*> methodExceptions; // and the methods
};
TCallbackLog g_log;

void LogCallback(bool complete, const UnicodeString& text, IZEException* exception)
{
    g_log.texts.push_back(text);
    g_log.completes.push_back(complete);
    g_log.exceptions.push_back(exception);
}

void OtherCallback(bool, const UnicodeString&, IZEException*) {}

std::atomic<int> g_counted{0};

void CountingCallback(bool, const UnicodeString& text, IZEException*)
{
    if (text.find(u"modules") != UnicodeString::npos)
        ++g_counted;
}

void LogMethod(void* object, bool, const UnicodeString& text, IZEException* exception)
{
    static_cast<std::vector<UnicodeString>*>(object)->push_back(text);
    g_log.methodExceptions.push_back(exception);
}

class ZelExceptionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ExceptionHooks() = TExceptionHooks{};
        ExceptionHooks().builder = &builder;
        g_log = {};
    }
    void TearDown() override { ExceptionHooks() = TExceptionHooks{}; }

    TIntfPtr<TIZEException> NewException(TExceptionFacts facts = {}, bool createBugReport = true)
    {
        TIntfPtr<TIZEException> exception = NewZelException(nullptr, facts);
        exception->SetCreateBugReport(createBugReport);
        return exception;
    }

    TFakeBuilder builder;
};

TEST_F(ZelExceptionTest, ContinuingStaysOffWhenItWasNotPossibleAtCreation)
{
    TExceptionFacts facts;
    facts.continuePossible = false;
    const auto fixed = NewException(facts);
    EXPECT_FALSE(fixed->GetCanContinue());
    fixed->SetCanContinue(true);
    EXPECT_FALSE(fixed->GetCanContinue());

    const auto open = NewException();
    EXPECT_TRUE(open->GetCanContinue());
    open->SetCanContinue(false);
    EXPECT_FALSE(open->GetCanContinue());
    open->SetCanContinue(true);
    EXPECT_TRUE(open->GetCanContinue());
}

TEST_F(ZelExceptionTest, ShownBecomesCompleteWhenTheReportAlreadyIs)
{
    const auto exception = NewException();
    EXPECT_EQ(exception->GetPhase(), 1);
    exception->SetPhase(2);
    EXPECT_FALSE(exception->MarkComplete()); // not shown yet: nobody is to be told again
    exception->SetPhase(3);
    EXPECT_EQ(exception->GetPhase(), 4);

    const auto later = NewException();
    later->SetPhase(3);
    EXPECT_EQ(later->GetPhase(), 3);
    EXPECT_TRUE(later->MarkComplete());
    EXPECT_EQ(later->GetPhase(), 4);
    EXPECT_FALSE(later->MarkComplete());
}

TEST_F(ZelExceptionTest, SetPhaseAndFireTellsTheExceptionHandlers)
{
    std::vector<uint8_t> phases;
    ExceptionHooks().fireExceptionHandlers = [&](TIZEException& exception) { phases.push_back(exception.GetPhase()); };
    const auto exception = NewException();
    exception->SetPhaseAndFire(2);
    exception->SetPhaseAndFire(3);
    EXPECT_EQ(phases, (std::vector<uint8_t>{2, 3}));
}

TEST_F(ZelExceptionTest, AFreezeIsEFrozenWithTheFrozenMessage)
{
    TExceptionFacts facts;
    facts.type = TExceptType::Frozen;
    const auto exception = NewException(facts);
    EXPECT_EQ(exception->GetExceptClass(), u"EFrozen");
    const TBuiltinSetting* frozen = FindBuiltinSetting("FrozenMsg");
    ASSERT_NE(frozen, nullptr);
    EXPECT_EQ(exception->GetExceptMessage(), SystemAnsiToWide(frozen->text));
    exception->SetExceptMessage(u"replaced");
    EXPECT_EQ(exception->GetExceptMessage(), u"replaced");
}

TEST_F(ZelExceptionTest, FactsAreCopiedInAndOutOfRangeReadsAreEmpty)
{
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    TExceptionFacts facts;
    facts.context = &context;
    facts.exceptionRecord = &record;
    facts.exceptAddress = 0x401234;
    facts.creationFlag = 5;
    facts.creationValue1 = 7;
    const auto exception = NewException(facts);
    ASSERT_NE(exception->GetContext(), nullptr);
    EXPECT_NE(exception->GetContext(), &context);
    EXPECT_EQ(exception->GetContext()->ContextFlags, static_cast<DWORD>(CONTEXT_FULL));
    EXPECT_EQ(exception->GetExceptAddress(), 0x401234u);
    EXPECT_EQ(exception->GetCrashedThreadId(), GetCurrentThreadId());
    EXPECT_EQ(exception->GetCreationFlag(), 5);
    EXPECT_EQ(exception->GetCreationValue1(), 7u);

    EXCEPTION_RECORD out{};
    exception->GetExceptionRecord(out);
    EXPECT_EQ(out.ExceptionCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    record.ExceptionCode = EXCEPTION_BREAKPOINT;
    exception->SetExceptionRecord(record);
    exception->GetExceptionRecord(out);
    EXPECT_EQ(out.ExceptionCode, static_cast<DWORD>(EXCEPTION_BREAKPOINT));

    EXPECT_EQ(NewException()->GetContext(), nullptr);
    exception->EditThreads([](TDAThreadStack& threads) {
        TThreadStack thread;
        thread.threadId = 42;
        thread.stack.resize(1);
        threads.push_back(thread);
    });
    EXPECT_EQ(exception->GetThreadId(0), 42u);
    EXPECT_EQ(exception->GetThreadStack(0).size(), 1u);
    EXPECT_EQ(exception->GetThreadId(1), 0u);
    EXPECT_TRUE(exception->GetThreadStack(-1).empty());
    exception->SetCallstackCrc(2, 0xABCD);
    EXPECT_EQ(exception->GetCallstackCrc(2), 0xABCDu);
    EXPECT_EQ(exception->GetCallstackCrc(3), 0u);
    EXPECT_EQ(exception->GetCallstackCrc(-1), 0u);
}

TEST_F(ZelExceptionTest, BothInterfacesAreFoundByTheirIds)
{
    const auto exception = NewException();
    const auto ex = QueryAs<IZEExceptionEx>(static_cast<IZEException*>(exception.Get()), IID_IZEExceptionEx);
    ASSERT_TRUE(ex);
    const auto back = QueryAs<IZEException>(ex.Get(), IID_IZEException);
    EXPECT_EQ(back.Get(), static_cast<IZEException*>(exception.Get()));
}

TEST_F(ZelExceptionTest, EachClaimIsWonExactlyOnceAcrossThreads)
{
    const auto exception = NewException();
    std::atomic<int> wins1{0};
    std::atomic<int> wins2{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                wins1 += exception->ClaimOnce1() ? 1 : 0;
                wins2 += exception->ClaimOnce2() ? 1 : 0;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wins1.load(), 1);
    EXPECT_EQ(wins2.load(), 1);
}

TEST_F(ZelExceptionTest, WithoutWaitingTheTextHoldsThePlaceholders)
{
    const auto exception = NewException();
    EXPECT_EQ(exception->GetBugReportText(false),
              u"date/time=now;main thread:>> will be calculated soon;modules>> will be calculated soon;");
    EXPECT_EQ(builder.waits, 0);
    EXPECT_EQ(exception->GetBugReport(), u"date/time=now;main thread:stack;modules>> will be calculated soon;");
    EXPECT_EQ(builder.waits, 1);
    EXPECT_EQ(builder.starts, 1);
}

TEST_F(ZelExceptionTest, ACompleteTextIsAssembledOnceUntilTheReportChanges)
{
    const auto exception = NewException();
    exception->GetBugReport();
    // That text was taken across the builder's changes: the next call assembles and keeps it.
    EXPECT_EQ(builder.assemblies, 1);
    exception->GetBugReport();
    EXPECT_EQ(builder.assemblies, 2);
    exception->GetBugReport();
    exception->GetBugReportText(false);
    EXPECT_EQ(builder.assemblies, 2);

    exception->GetBugReportSections()->SetValue(u"modules", u"a.dll");
    EXPECT_EQ(exception->GetBugReport(), u"date/time=now;main thread:stack;modulesa.dll;");
    exception->GetBugReport();
    EXPECT_EQ(builder.assemblies, 3);
}

TEST_F(ZelExceptionTest, ATextAssembledWhileTheReportChangedIsNotKept)
{
    const auto exception = NewException();
    builder.changeTarget = exception->GetBugReportSections().get();
    builder.changeWhileAssembling = true;
    const UnicodeString first = exception->GetBugReportText(false);
    EXPECT_EQ(first.find(u"changed meanwhile"), UnicodeString::npos);
    EXPECT_NE(exception->GetBugReportText(false).find(u"changed meanwhile"), UnicodeString::npos);
}

TEST_F(ZelExceptionTest, WithoutCreateBugReportNoReportIsMade)
{
    const auto exception = NewException({}, false);
    EXPECT_EQ(exception->GetBugReport(), u"");
    EXPECT_EQ(exception->GetBugReportHeader()->Count(), 0);
    EXPECT_EQ(exception->GetBugReportSections()->Count(), 0);
    EXPECT_EQ(builder.starts, 0);
    exception->SetBugReport(u"given");
    EXPECT_EQ(exception->GetBugReport(), u"given");
}

TEST_F(ZelExceptionTest, ACallbackIsCalledAtRegistrationAndOncePerAnnouncedChange)
{
    const auto exception = NewException();
    exception->GetBugReportText(false);
    exception->RegisterBugReportCallback(LogCallback, false);
    ASSERT_EQ(g_log.texts.size(), 1u);
    EXPECT_FALSE(g_log.completes[0]);
    EXPECT_TRUE(exception->BuildAsync());

    exception->RegisterBugReportCallback(LogCallback, true); // only the flag changes
    EXPECT_EQ(g_log.texts.size(), 1u);
    EXPECT_TRUE(exception->AnyCallbackFlagged());

    exception->BeginUpdate();
    exception->GetBugReportSections()->SetValue(u"modules", u"a.dll");
    exception->GetBugReportSections()->SetValue(u"main thread:", u"stack");
    EXPECT_EQ(g_log.texts.size(), 1u);
    exception->EndUpdate();
    ASSERT_EQ(g_log.texts.size(), 2u);
    EXPECT_NE(g_log.texts[1].find(u"modulesa.dll"), UnicodeString::npos);

    // The exception is handed over at registration only; a change is told as (complete, text).
    EXPECT_EQ(g_log.exceptions[0], static_cast<IZEException*>(exception.Get()));
    EXPECT_EQ(g_log.exceptions[1], nullptr);

    exception->UnregisterBugReportCallback(LogCallback);
    EXPECT_FALSE(exception->AnyCallbackFlagged());
    exception->GetBugReportSections()->SetValue(u"modules", u"b.dll");
    EXPECT_EQ(g_log.texts.size(), 2u);
}

TEST_F(ZelExceptionTest, SetBugReportTellsEveryCallbackTheNewText)
{
    const auto exception = NewException();
    std::vector<UnicodeString> methodTexts;
    exception->RegisterBugReportCallback(LogCallback, false);
    exception->RegisterBugReportCallback(OtherCallback, false);
    exception->RegisterBugReportCallbackOO(TBugReportMethod{LogMethod, &methodTexts}, false);
    exception->SetBugReport(u"edited");
    EXPECT_EQ(g_log.texts.back(), u"edited");
    ASSERT_EQ(methodTexts.size(), 2u);
    EXPECT_EQ(methodTexts.back(), u"edited");
    // Methods get the exception at registration and with every change.
    const std::vector<IZEException*> twice(2, static_cast<IZEException*>(exception.Get()));
    EXPECT_EQ(g_log.methodExceptions, twice);
    EXPECT_EQ(g_log.exceptions.back(), nullptr);
    exception->UnregisterBugReportCallbackOO(TBugReportMethod{LogMethod, &methodTexts});
    exception->SetBugReport(u"again");
    EXPECT_EQ(methodTexts.size(), 2u);
}

TEST_F(ZelExceptionTest, AFailedScreenShotIsNotRetried)
{
    int captures = 0;
    ExceptionHooks().captureScreen = [&](bool) {
        ++captures;
        return TIntfPtr<INVBitmap>();
    };
    const auto exception = NewException();
    exception->SetCreateScreenShot(true);
    EXPECT_FALSE(exception->GetScreenShot());
    EXPECT_FALSE(exception->GetCreateScreenShot());
    EXPECT_FALSE(exception->GetScreenShot());
    EXPECT_EQ(captures, 1);
}

TEST_F(ZelExceptionTest, AScreenShotIsTakenOnceAndKept)
{
    int captures = 0;
    ExceptionHooks().captureScreen = [&](bool) {
        ++captures;
        return CreateNVBitmap(4, 3);
    };
    const auto exception = NewException();
    EXPECT_FALSE(exception->GetScreenShot()); // switched off: nothing is taken
    exception->SetCreateScreenShot(true);
    const TIntfPtr<INVBitmap> shot = exception->GetScreenShot();
    ASSERT_TRUE(shot);
    EXPECT_EQ(exception->GetScreenShot().Get(), shot.Get());
    EXPECT_EQ(captures, 1);
}

// The builder writes sections while the dialog reads the text and callbacks come and go.
TEST_F(ZelExceptionTest, WritersReadersAndCallbacksWorkAtOnce)
{
    const auto exception = NewException();
    exception->GetBugReportText(false);
    const TReportFieldsRef sections = exception->GetBugReportSections();
    constexpr int kWrites = 300;
    g_counted = 0;
    std::atomic<int> textsWithoutSections{0};
    std::thread writer([&] {
        for (int i = 0; i < kWrites; ++i) {
            exception->BeginUpdate();
            sections->SetValue(u"modules", ConcatW({u"v", UnicodeString(1, static_cast<char16_t>(u'0' + i % 10))}));
            sections->SetValue(u"main thread:",
                               ConcatW({u"stack ", UnicodeString(1, static_cast<char16_t>(u'a' + i % 26))}));
            exception->EndUpdate();
        }
        sections->SetValue(u"modules", u"last");
    });
    std::thread reader([&] {
        for (int i = 0; i < kWrites; ++i)
            if (exception->GetBugReportText(false).find(u"modules") == UnicodeString::npos)
                ++textsWithoutSections;
    });
    std::thread registrar([&] {
        for (int i = 0; i < kWrites / 3; ++i) {
            exception->RegisterBugReportCallback(CountingCallback, i % 2 == 0);
            exception->UnregisterBugReportCallback(CountingCallback);
        }
    });
    writer.join();
    reader.join();
    registrar.join();
    EXPECT_EQ(textsWithoutSections.load(), 0);
    EXPECT_GE(g_counted.load(), kWrites / 3); // each registration calls once at least
    EXPECT_NE(exception->GetBugReportText(false).find(u"moduleslast;"), UnicodeString::npos);
    EXPECT_FALSE(exception->AnyCallbackFlagged());
}

} // namespace
