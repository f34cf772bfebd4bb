#include "InterfacedObject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// {0D4B8E42-6C1A-4F0B-9E55-3A7C2B9D1E60}
constexpr GUID IID_ITestProbe = {
    0x0D4B8E42, 0x6C1A, 0x4F0B, {0x9E, 0x55, 0x3A, 0x7C, 0x2B, 0x9D, 0x1E, 0x60}};

struct ITestProbe : public virtual IUnknown {
    virtual int Value() = 0;
};

struct TLifeLog {
    int destroyed = 0;
    LONG countSeenInConstructor = -1;
    std::vector<LONG> added;
    std::vector<LONG> released;
};

class TProbe : public TMyInterfacedObject, public virtual ITestProbe {
public:
    explicit TProbe(TLifeLog& log, bool touchSelfInConstructor = false) : log_(log)
    {
        if (touchSelfInConstructor) {
            TIntfPtr<ITestProbe> self(this);
            log_.countSeenInConstructor = RefCount();
        }
    }

    int Value() override { return 42; }

protected:
    ~TProbe() override { ++log_.destroyed; }

    void* FindInterface(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_ITestProbe))
            return static_cast<ITestProbe*>(this);
        return TMyInterfacedObject::FindInterface(iid);
    }
    void RefCountAdded(LONG count) override { log_.added.push_back(count); }
    void RefCountReleased(LONG count) override { log_.released.push_back(count); }

    TLifeLog& log_;
};

// Takes and drops a reference to itself while being destroyed, as a link does that
// announces its closing from its destructor.
class TSelfTouchingOnDestroy : public TMyInterfacedObject {
public:
    explicit TSelfTouchingOnDestroy(int& destroyed) : destroyed_(destroyed) {}

protected:
    ~TSelfTouchingOnDestroy() override
    {
        TIntfPtr<IUnknown> self(static_cast<IUnknown*>(this));
        ++destroyed_;
    }

private:
    int& destroyed_;
};

// Its first release hook waits until another thread has released its own reference.
class TSlowFirstRelease : public TMyInterfacedObject {
public:
    struct TWatch {
        std::atomic<bool> firstHookTaken{false};
        std::atomic<bool> inFirstHook{false};
        std::atomic<bool> otherReleased{false};
        std::atomic<int> destroyed{0};
        std::atomic<bool> destroyedDuringHook{false};
    };
    explicit TSlowFirstRelease(TWatch& watch) : watch_(watch) {}

protected:
    ~TSlowFirstRelease() override
    {
        if (watch_.inFirstHook)
            watch_.destroyedDuringHook = true;
        ++watch_.destroyed;
    }
    void RefCountReleased(LONG) override
    {
        if (watch_.firstHookTaken.exchange(true))
            return;
        watch_.inFirstHook = true;
        for (int waited = 0; !watch_.otherReleased && waited < 2000; ++waited)
            Sleep(1);
        watch_.inFirstHook = false;
    }

private:
    TWatch& watch_;
};

} // namespace

TEST(ObjectModel, ConstructorTouchingItselfSurvivesAndLeavesCountZero)
{
    TLifeLog log;
    // The steps of MakeObject, spelled out to see the count between them.
    auto* probe = new TProbe(log, true);
    EXPECT_EQ(log.countSeenInConstructor, 2);
    EXPECT_EQ(log.destroyed, 0);
    probe->AfterConstruction();
    EXPECT_EQ(probe->RefCount(), 0);
    {
        TIntfPtr<ITestProbe> first(probe);
        EXPECT_EQ(probe->RefCount(), 1);
    }
    EXPECT_EQ(log.destroyed, 1);
}

TEST(ObjectModel, MakeObjectGivesTheOnlyReferenceAndLastReleaseDestroys)
{
    TLifeLog log;
    {
        auto probe = MakeObject<TProbe>(log);
        EXPECT_EQ(probe->RefCount(), 1);
        TIntfPtr<TProbe> copy = probe;
        EXPECT_EQ(probe->RefCount(), 2);
    }
    EXPECT_EQ(log.destroyed, 1);
    // Hooks see every new count (AfterConstruction is not a release); the last release
    // reports 0 before destruction.
    EXPECT_EQ(log.added, (std::vector<LONG>{2, 2}));
    EXPECT_EQ(log.released, (std::vector<LONG>{1, 0}));
}

TEST(ObjectModel, QueryInterfaceAnswersKnownInterfacesWithACountedReference)
{
    TLifeLog log;
    auto probe = MakeObject<TProbe>(log);
    IUnknown* unknown = static_cast<ITestProbe*>(probe.Get());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(unknown->QueryInterface(IID_ITestProbe, nullptr), E_POINTER);

    ASSERT_EQ(unknown->QueryInterface(IID_ITestProbe, &out), S_OK);
    EXPECT_EQ(probe->RefCount(), 2);
    auto probeInterface = TIntfPtr<ITestProbe>::Attach(static_cast<ITestProbe*>(out));
    EXPECT_EQ(probeInterface->Value(), 42);

    EXPECT_FALSE(QueryAs<IClassFactory>(unknown, IID_IClassFactory));
    EXPECT_TRUE(QueryAs<ITestProbe>(unknown, IID_ITestProbe));
}

TEST(ObjectModel, IdentityIsTheSameThroughEveryInterface)
{
    TLifeLog log;
    auto probe = MakeObject<TProbe>(log);
    auto probeInterface = QueryAs<ITestProbe>(static_cast<ITestProbe*>(probe.Get()), IID_ITestProbe);
    const uintptr_t identity = IdentityOf(probeInterface.Get());
    EXPECT_NE(identity, 0u);
    EXPECT_EQ(identity, IdentityOf(static_cast<IUnknown*>(probe.Get())));
    EXPECT_EQ(IdentityOf(nullptr), 0u);

    TLifeLog otherLog;
    auto other = MakeObject<TProbe>(otherLog);
    EXPECT_NE(identity, IdentityOf(static_cast<IUnknown*>(other.Get())));
}

TEST(ObjectModel, ReferencesTakenByTheDestructorDoNotDestroyTwice)
{
    int destroyed = 0;
    MakeObject<TSelfTouchingOnDestroy>(destroyed).Reset();
    EXPECT_EQ(destroyed, 1);
}

// Another thread may drop the last reference the moment this one has dropped its own, so a
// release must be done with the object before its count goes down.
TEST(ObjectModel, AReleaseIsDoneWithTheObjectBeforeItsCountGoesDown)
{
    TSlowFirstRelease::TWatch watch;
    // Two references, one for each thread, without a release on the way.
    auto* object = new TSlowFirstRelease(watch);
    object->AfterConstruction();
    object->AddRef();
    object->AddRef();
    std::thread first([&] { object->Release(); });
    while (!watch.inFirstHook)
        Sleep(1);
    object->Release();
    watch.otherReleased = true;
    first.join();
    EXPECT_EQ(watch.destroyed, 1);
    EXPECT_FALSE(watch.destroyedDuringHook);
}

TEST(ObjectModel, SupportsAnswersWithoutKeepingAReference)
{
    TLifeLog log;
    auto probe = MakeObject<TProbe>(log);
    IUnknown* unknown = static_cast<ITestProbe*>(probe.Get());
    EXPECT_TRUE(Supports(unknown, IID_ITestProbe));
    EXPECT_TRUE(Supports(unknown, IID_IUnknown));
    EXPECT_FALSE(Supports(unknown, IID_IClassFactory));
    EXPECT_FALSE(Supports(nullptr, IID_IUnknown));
    EXPECT_EQ(probe->RefCount(), 1);
}
