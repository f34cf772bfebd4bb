#include "CommunicationInterface.h"

#include "DiagnosticTrace.h"
#include "FakeLink.h"
#include "StubXmlElement.h"
#include "WinHandle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// A fake link on a manual clock: every yield and every wait for arrivals is one
// millisecond, and scripted bytes arrive when the clock reaches their tick.
class TClockedLink : public TFakeLink {
public:
    explicit TClockedLink(uint32_t start) : clock_(start) {}

    void ArriveAt(uint32_t ticksAfterWrite, const std::string& bytes)
    {
        arrivals_[ticksAfterWrite] += bytes;
    }

    void BeforeExchange() override { steps_.push_back("before"); }
    void BeforeExchange2() override { steps_.push_back("before2"); }

    int32_t Write(const std::string& bytes) override
    {
        steps_.push_back("write");
        writeTick_ = clock_;
        return TFakeLink::Write(bytes);
    }

    std::string Read() override
    {
        readTicks_.push_back(clock_);
        return TFakeLink::Read();
    }

    uint32_t WriteTick() const { return writeTick_; }
    uint32_t LastTick() const { return clock_; }
    const std::vector<uint32_t>& ReadTicks() const { return readTicks_; }
    const std::vector<std::string>& Steps() const { return steps_; }
    void AwaitArrival(uint32_t maxMs) override
    {
        waits_.push_back(maxMs);
        Step();
    }
    const std::vector<uint32_t>& Waits() const { return waits_; }

protected:
    uint32_t Now() override { return clock_; }

    void YieldOnce() override { Step(); }

private:
    void Step()
    {
        ++clock_;
        const auto due = arrivals_.find(clock_ - writeTick_);
        if (!steps_.empty() && steps_.back() != "before2" && due != arrivals_.end())
            QueueIncoming(due->second);
    }

    uint32_t clock_;
    uint32_t writeTick_ = 0;
    std::map<uint32_t, std::string> arrivals_;
    std::vector<uint32_t> readTicks_;
    std::vector<std::string> steps_;
    std::vector<uint32_t> waits_;
};

TIntfPtr<TClockedLink> OpenClockedLink(uint32_t start = 1000)
{
    auto link = MakeObject<TClockedLink>(start);
    link->Open(); // character time 10 ms
    return link;
}

int stopTestCalls = 0;
std::string stopTestLastAnswer;

uint16_t StopAtOnce(const std::string& answer)
{
    ++stopTestCalls;
    stopTestLastAnswer = answer;
    return 0;
}

uint16_t StopAtFourBytes(const std::string& answer)
{
    return answer.size() >= 4 ? 0 : 1;
}

} // namespace

TEST(SendAndReceive, InactiveLinkAnswersEmptyWithoutWriting)
{
    auto link = MakeObject<TClockedLink>(1000u);
    link->QueueIncoming("stale");
    EXPECT_EQ(link->SendAndReceive("req", 100, nullptr), "");
    EXPECT_EQ(link->WriteCount(), 0);
    EXPECT_TRUE(link->Steps().empty());
    EXPECT_EQ(link->ReadLength(), 5);
}

TEST(SendAndReceive, PreparesThenWritesTheRequest)
{
    auto link = OpenClockedLink();
    link->SendAndReceive("req", 0, StopAtOnce);
    EXPECT_EQ(link->Steps(), (std::vector<std::string>{"before", "before2", "write"}));
    EXPECT_EQ(link->Written(), "req");
}

TEST(SendAndReceive, FirstDeadlineCoversTimeOutAndRequestLength)
{
    // 100 ms + Ceil((3 + 5) x 10 ms): the wait ends once more than 180 ms have passed.
    auto link = OpenClockedLink();
    EXPECT_EQ(link->SendAndReceive("abc", 100, nullptr), "");
    EXPECT_EQ(link->LastTick() - link->WriteTick(), 181u);
}

TEST(SendAndReceive, EachArrivalMovesTheDeadlineToAQuietGapAfterIt)
{
    // Ceil(10 x 10 ms) + 50 ms after each arrival.
    auto link = OpenClockedLink();
    link->ArriveAt(50, "A");
    link->ArriveAt(170, "B");
    EXPECT_EQ(link->SendAndReceive("abc", 100, nullptr), "AB");
    const uint32_t write = link->WriteTick();
    EXPECT_EQ(link->ReadTicks(), (std::vector<uint32_t>{write + 50, write + 170}));
    EXPECT_EQ(link->LastTick() - write, 170u + 151u);
}

TEST(SendAndReceive, WaitsForArrivalsNoLongerThanTheDeadlineLeaves)
{
    auto link = OpenClockedLink();
    link->ArriveAt(50, "A");
    EXPECT_EQ(link->SendAndReceive("abc", 100, nullptr), "A");
    const std::vector<uint32_t>& waits = link->Waits();
    ASSERT_EQ(waits.size(), 50u + 151u);
    EXPECT_EQ(waits[0], 181u);  // the first deadline
    EXPECT_EQ(waits[49], 132u); // just before the arrival
    EXPECT_EQ(waits[50], 151u); // the quiet gap after it
    EXPECT_EQ(waits.back(), 1u);
}

TEST(SendAndReceive, DeadlinesSurviveTheTickCounterWrap)
{
    auto link = OpenClockedLink(0xFFFFFF80u);
    link->ArriveAt(150, "late");
    EXPECT_EQ(link->SendAndReceive("abc", 100, nullptr), "late");
    EXPECT_EQ(link->LastTick() - link->WriteTick(), 150u + 151u);
}

TEST(SendAndReceive, HugeTimeOutSaturatesInsteadOfWrapping)
{
    auto link = OpenClockedLink();
    // A wrapped span (79 ms) would give up before the answer arrives.
    link->ArriveAt(100, "done");
    EXPECT_EQ(link->SendAndReceive("abc", 0xFFFFFFFFu, StopAtFourBytes), "done");
    EXPECT_EQ(link->LastTick() - link->WriteTick(), 100u);
}

TEST(SendAndReceive, StopTestIsAskedOnlyAfterOneReadPass)
{
    auto link = OpenClockedLink();
    link->SetReply("xyz");
    stopTestCalls = 0;
    EXPECT_EQ(link->SendAndReceive("abc", 1000, StopAtOnce), "xyz");
    EXPECT_EQ(stopTestCalls, 1);
    EXPECT_EQ(stopTestLastAnswer, "xyz");
    EXPECT_EQ(link->LastTick() - link->WriteTick(), 1u);
}

TEST(SendAndReceive, StopTestEndsTheWaitOnceTheAnswerIsComplete)
{
    auto link = OpenClockedLink();
    link->ArriveAt(10, "ab");
    link->ArriveAt(20, "cd");
    link->ArriveAt(30, "ef");
    EXPECT_EQ(link->SendAndReceive("abc", 1000, StopAtFourBytes), "abcd");
    EXPECT_EQ(link->LastTick() - link->WriteTick(), 20u);
}

TEST(SendAndReceive, WaitsForTheExchangeLock)
{
    auto link = MakeObject<TFakeLink>();
    TWinHandle locked(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> unlocked = false;
    std::thread holder([&] {
        link->Lock();
        SetEvent(locked.Get());
        Sleep(150);
        unlocked = true;
        link->Unlock();
    });
    ASSERT_EQ(WaitForSingleObject(locked.Get(), 5000), WAIT_OBJECT_0);
    link->SendAndReceive("abc", 0, nullptr);
    EXPECT_TRUE(unlocked);
    holder.join();
}

TEST(SendAndReceive, RealClockReturnsTheReply)
{
    auto link = MakeObject<TFakeLink>();
    link->Open();
    link->SetReply("pong");
    const DWORD start = GetTickCount();
    EXPECT_EQ(link->SendAndReceive("ping", 20, nullptr), "pong");
    // The quiet gap after the reply is 150 ms at 10 ms per character.
    EXPECT_GE(GetTickCount() - start, 140u);
}

TEST(ReadBuffered, TakesCountedPartsOfTheReadAhead)
{
    auto link = MakeObject<TFakeLink>();
    link->QueueIncoming("hello");
    EXPECT_EQ(link->BufferedLength(false), 0);
    EXPECT_EQ(link->ReadBuffered(0), "");
    EXPECT_EQ(link->BufferedLength(false), 5); // pulled and kept
    EXPECT_EQ(link->PeekBuffered(2), "he");
    EXPECT_EQ(link->ReadBuffered(2), "he");
    link->QueueIncoming(" world");
    EXPECT_EQ(link->BufferedLength(true), 9);
    EXPECT_EQ(link->ReadBuffered(100), "llo world");
    EXPECT_EQ(link->BufferedLength(false), 0);

    link->QueueIncoming("abc");
    EXPECT_EQ(link->PeekBuffered(-1), "abc");
    EXPECT_EQ(link->ReadBuffered(-1), "abc");
    EXPECT_EQ(link->ReadBuffered(-1), "");
}

TEST(ReadBuffered, ACountTheReadAheadHoldsLeavesTheLinkAlone)
{
    auto link = MakeObject<TFakeLink>();
    link->QueueIncoming("hello");
    EXPECT_EQ(link->ReadBuffered(0), "");
    link->QueueIncoming("abc");
    EXPECT_EQ(link->ReadBuffered(5), "hello");
    // Still counted where it waits, and taken by the next read that needs it.
    EXPECT_EQ(link->BufferedLength(false), 0);
    EXPECT_EQ(link->ReadLength(), 3);
    EXPECT_EQ(link->ReadBuffered(2), "ab");
    EXPECT_EQ(link->ReadBuffered(5), "c");
}

namespace {

// Writes every announcement it sees into one log.
struct TAnnouncementLog {
    void OnEventer(ICommunicationInterface* sender)
    {
        entries.push_back("eventer");
        senders.push_back(sender);
    }
    void OnMethod(ICommunicationInterface* sender)
    {
        entries.push_back("method");
        senders.push_back(sender);
    }
    void OnEventerChange(ICommunicationInterface*, int32_t code, bool state)
    {
        entries.push_back("eventer " + std::to_string(code) + (state ? " on" : " off"));
    }
    void OnMethodChange(ICommunicationInterface*, int32_t code, bool state)
    {
        entries.push_back("method " + std::to_string(code) + (state ? " on" : " off"));
    }
    void OnThrow(ICommunicationInterface*)
    {
        entries.push_back("throw");
        throw std::runtime_error("listener failed");
    }

    std::vector<std::string> entries;
    std::vector<ICommunicationInterface*> senders;
};

using Entries = std::vector<std::string>;

} // namespace

TEST(Announcers, OpenAndCloseFireTheEventerBeforeTheMethod)
{
    auto link = MakeObject<TFakeLink>();
    TAnnouncementLog log;
    link->SetOnOpen(MakeMethod<&TAnnouncementLog::OnMethod>(&log));
    link->OpenEventer()->Add(MakeMethod<&TAnnouncementLog::OnEventer>(&log));
    link->SetOnClose(MakeMethod<&TAnnouncementLog::OnMethod>(&log));
    link->CloseEventer()->Add(MakeMethod<&TAnnouncementLog::OnEventer>(&log));
    link->DoOpen();
    link->DoClose();
    EXPECT_EQ(log.entries, (Entries{"eventer", "method", "eventer", "method"}));
    ICommunicationInterface* self = link.Get();
    EXPECT_EQ(log.senders, (std::vector<ICommunicationInterface*>(4, self)));
}

TEST(Announcers, DataReceivedCallsTheMethodBeforeTheEventer)
{
    auto link = MakeObject<TFakeLink>();
    auto other = MakeObject<TFakeLink>();
    TAnnouncementLog log;
    link->DataReceivedEventer()->Add(MakeMethod<&TAnnouncementLog::OnEventer>(&log));
    link->SetOnDataReceived(MakeMethod<&TAnnouncementLog::OnMethod>(&log));
    link->DoDataReceived();
    link->DoDataReceived(other.Get());
    EXPECT_EQ(log.entries, (Entries{"method", "eventer", "method", "eventer"}));
    ICommunicationInterface* self = link.Get();
    ICommunicationInterface* stranger = other.Get();
    EXPECT_EQ(log.senders, (std::vector<ICommunicationInterface*>{self, self, stranger, stranger}));
}

TEST(Announcers, ChangeEventPassesCodeAndStateEventerFirst)
{
    auto link = MakeObject<TFakeLink>();
    TAnnouncementLog log;
    link->SetOnChangeEvent(MakeMethod<&TAnnouncementLog::OnMethodChange>(&log));
    link->ChangeEventEventer()->Add(MakeMethod<&TAnnouncementLog::OnEventerChange>(&log));
    link->DoChangeEvent(3, true);
    EXPECT_EQ(log.entries, (Entries{"eventer 3 on", "method 3 on"}));
}

TEST(Announcers, ConfigurationChangeIsAnnouncedBySetConnectionString)
{
    auto link = MakeObject<TFakeLink>();
    TAnnouncementLog log;
    link->ConfigChangedEventer()->Add(MakeMethod<&TAnnouncementLog::OnEventer>(&log));
    link->SetConnectionString("Port=COM1");
    link->DoConfigChanged();
    EXPECT_EQ(log.entries, (Entries{"eventer", "eventer"}));
}

TEST(Announcers, FailingListenersNeverReachTheAnnouncer)
{
    auto link = MakeObject<TFakeLink>();
    TAnnouncementLog log;
    link->SetOnOpen(MakeMethod<&TAnnouncementLog::OnThrow>(&log));
    link->OpenEventer()->Add(MakeMethod<&TAnnouncementLog::OnThrow>(&log));
    link->OpenEventer()->Add(MakeMethod<&TAnnouncementLog::OnEventer>(&log));
    link->SetOnDataReceived(MakeMethod<&TAnnouncementLog::OnThrow>(&log));
    EXPECT_NO_THROW(link->DoOpen());
    EXPECT_NO_THROW(link->DoDataReceived());
    EXPECT_EQ(log.entries, (Entries{"throw", "eventer", "throw", "throw"}));
}

TEST(Announcers, WithoutListenersNothingHappens)
{
    auto link = MakeObject<TFakeLink>();
    EXPECT_NO_THROW(link->DoOpen());
    EXPECT_NO_THROW(link->DoClose());
    EXPECT_NO_THROW(link->DoDataReceived());
    EXPECT_NO_THROW(link->DoChangeEvent(0, false));
    EXPECT_NO_THROW(link->DoConfigChanged());
    EXPECT_FALSE(link->GetOnOpen());
}

// A listener that drops the last reference to the link it hears, as a host closing its
// handle from an "opened" callback does; the link reports whether it still lives.
class TDroppingListener {
public:
    explicit TDroppingListener(TIntfPtr<TFakeLink> link) : link_(std::move(link)) {}
    void OnEventer(ICommunicationInterface*) { link_.Reset(); }
    void OnMethod(ICommunicationInterface*) { aliveAtMethod = *alive; }

    bool* alive = nullptr;
    bool aliveAtMethod = false;

private:
    TIntfPtr<TFakeLink> link_;
};

class TMortalLink : public TFakeLink {
public:
    explicit TMortalLink(bool& alive) : alive_(alive) { alive_ = true; }
    ~TMortalLink() override { alive_ = false; }

private:
    bool& alive_;
};

TEST(Announcers, LinkOutlivesAnAnnouncementWhoseListenerDropsIt)
{
    bool alive = false;
    TMortalLink* link = nullptr;
    TDroppingListener listener([&] {
        auto made = MakeObject<TMortalLink>(alive);
        link = made.Get();
        return TIntfPtr<TFakeLink>(made);
    }());
    listener.alive = &alive;
    link->OpenEventer()->Add(MakeMethod<&TDroppingListener::OnEventer>(&listener));
    link->SetOnOpen(MakeMethod<&TDroppingListener::OnMethod>(&listener));

    link->DoOpen();

    EXPECT_TRUE(listener.aliveAtMethod);
    EXPECT_FALSE(alive);
}

TEST(CommunicationInterface, EventersAreCreatedOnceEach)
{
    auto link = MakeObject<TFakeLink>();
    TeventerCiNotify* open = link->OpenEventer();
    EXPECT_EQ(link->OpenEventer(), open);
    EXPECT_EQ(link->DataReceivedEventer(), link->DataReceivedEventer());
    EXPECT_EQ(link->ChangeEventEventer(), link->ChangeEventEventer());
    const std::vector<TeventerCiNotify*> distinct = {open, link->CloseEventer(),
                                                     link->DataReceivedEventer(),
                                                     link->ConfigChangedEventer()};
    for (size_t i = 0; i < distinct.size(); ++i) {
        for (size_t j = i + 1; j < distinct.size(); ++j)
            EXPECT_NE(distinct[i], distinct[j]);
    }
}

TEST(CommunicationInterface, BaseStateAndFlags)
{
    auto link = MakeObject<TFakeLink>("COM7");
    EXPECT_EQ(link->GetCharTime(), 0.0);
    EXPECT_FALSE(link->GetValid());
    EXPECT_FALSE(link->GetAuxFlag());
    EXPECT_FALSE(link->ExecuteConfigDialog());
    EXPECT_FALSE(link->ConfigDialogAvailable());
    EXPECT_EQ(link->GetDescription(), "COM7");
    EXPECT_EQ(link->GetName(), "");
    link->SetValid(true);
    link->SetAuxFlag(true);
    EXPECT_TRUE(link->GetValid());
    EXPECT_TRUE(link->GetAuxFlag());
}

TEST(CommunicationInterface, SetActiveOpensOrClosesOnlyOnAChange)
{
    auto link = MakeObject<TFakeLink>();
    TAnnouncementLog log;
    link->SetOnOpen(MakeMethod<&TAnnouncementLog::OnMethod>(&log));
    link->SetOnClose(MakeMethod<&TAnnouncementLog::OnEventer>(&log));
    link->SetActive(false);
    link->SetActive(true);
    EXPECT_EQ(link->GetCharTime(), 10.0);
    link->SetActive(true);
    link->SetActive(false);
    EXPECT_EQ(log.entries, (Entries{"method", "eventer"}));
}

TEST(CommunicationInterface, AnswersEveryInterfaceWithOneIdentity)
{
    auto link = MakeObject<TFakeLink>();
    IUnknown* unknown = static_cast<ICommunicationInterface*>(link.Get());
    const uintptr_t identity = IdentityOf(unknown);
    auto ci = QueryAs<ICommunicationInterface>(unknown, IID_ICommunicationInterface);
    auto core = QueryAs<ICommunicationInterfaceCore>(unknown, IID_ICommunicationInterfaceCore);
    auto node = QueryAs<INodedInterface>(unknown, IID_INodedInterface);
    ASSERT_TRUE(ci && core && node);
    EXPECT_EQ(IdentityOf(ci.Get()), identity);
    EXPECT_EQ(IdentityOf(core.Get()), identity);
    EXPECT_EQ(IdentityOf(node.Get()), identity);
    EXPECT_EQ(ci->GetID(), "FAKE");
}

TEST(CommunicationInterface, LoadsAndSavesTheConnectionString)
{
    auto link = MakeObject<TFakeLink>();
    TAnnouncementLog log;
    link->ConfigChangedEventer()->Add(MakeMethod<&TAnnouncementLog::OnEventer>(&log));

    link->LoadFromXML(MakeObject<TStubXmlElement>().Get(), false);
    EXPECT_TRUE(log.entries.empty()); // no attribute, no change

    auto element = MakeObject<TStubXmlElement>(
        std::map<std::string, std::string>{{"name", "Link"}, {"connectionstring", "Port=COM2"}});
    link->LoadFromXMLNode(element.Get());
    EXPECT_EQ(link->GetConnectionString(), "Port=COM2");
    EXPECT_EQ(link->GetName(), "Link");
    EXPECT_EQ(log.entries.size(), 1u);

    link->SetConnectionString("Port=COM4");
    link->SetName("Renamed");
    link->SaveToXML();
    EXPECT_EQ(element->Attributes().at("connectionstring"), "Port=COM4");
    EXPECT_EQ(element->Attributes().at("name"), "Renamed");
}

namespace {

struct TTraceRecord {
    ICommunicationInterface* link;
    std::string bytes;
    uint8_t kind;
};

std::vector<TTraceRecord> traced;

void RecordTrace(ICommunicationInterface* link, const std::string& bytes, uint8_t kind)
{
    traced.push_back({link, bytes, kind});
}

class DiagnosticTrace : public ::testing::Test {
protected:
    void SetUp() override
    {
        traced.clear();
        SetTraceHook(nullptr);
    }
    void TearDown() override { SetTraceHook(nullptr); }
};

} // namespace

TEST_F(DiagnosticTrace, SwitchIsDstInAnyCaseWithOnePrefixAndBlanks)
{
    const char* on[] = {"DST", "dst", "Dst", "-DST", "/dst", "  DST  ", " -dSt\t"};
    for (const char* argument : on)
        EXPECT_TRUE(HasTraceSwitch({"host.exe", argument})) << argument;
    const char* off[] = {"--DST", "/-DST", "-/DST", "DSTX", "D ST", "", "-", "/"};
    for (const char* argument : off)
        EXPECT_FALSE(HasTraceSwitch({"host.exe", argument})) << argument;
    EXPECT_TRUE(HasTraceSwitch({"DST"})); // the program path counts too
    EXPECT_FALSE(HasTraceSwitch({}));
}

TEST_F(DiagnosticTrace, ScanSetsTheTerminalHookOnlyWithTheSwitch)
{
    EXPECT_FALSE(ScanCommandLineForTrace({"host.exe", "--dst"}));
    EXPECT_EQ(GetTraceHook(), nullptr);
    EXPECT_TRUE(ScanCommandLineForTrace({"host.exe", "/DST", "other"}));
    EXPECT_EQ(GetTraceHook(), &TerminalTrace);
    // This test program was not started with the switch.
    SetTraceHook(nullptr);
    EXPECT_FALSE(ScanProcessCommandLineForTrace());
    EXPECT_EQ(GetTraceHook(), nullptr);
}

TEST_F(DiagnosticTrace, WritesAndReadsReachTheHookWithTheirKind)
{
    auto link = MakeObject<TFakeLink>();
    link->Write("out");
    EXPECT_TRUE(traced.empty()); // no hook, no trace

    SetTraceHook(RecordTrace);
    link->Write("out");
    link->QueueIncoming("in");
    EXPECT_EQ(link->Read(), "in");
    ASSERT_EQ(traced.size(), 2u);
    ICommunicationInterface* self = link.Get();
    EXPECT_EQ(traced[0].link, self);
    EXPECT_EQ(traced[0].bytes, "out");
    EXPECT_EQ(traced[0].kind, 1);
    EXPECT_EQ(traced[1].bytes, "in");
    EXPECT_EQ(traced[1].kind, 2);
}
