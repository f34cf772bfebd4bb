#include "CiEventers.h"
#include "Eventer.h"
#include "FakeLink.h"
#include "WinHandle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

class TTestEventer : public TEventer<int> {
public:
    void Fire(int value) { FireAll<IUnknown>(nullptr, value); }
};

// Subscribers that write what happened into one shared log.
struct TRecorder {
    TRecorder(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}

    void OnFire(int value) { log.push_back(name + std::to_string(value)); }
    void OnFireAndThrow(int value)
    {
        log.push_back(name + std::to_string(value));
        throw std::runtime_error("subscriber failed");
    }
    void OnFireAndUnsubscribe(int value)
    {
        log.push_back(name + std::to_string(value));
        eventer->Remove(MakeMethod<&TRecorder::OnFireAndUnsubscribe>(this));
    }
    void OnFireAndSubscribe(int value)
    {
        log.push_back(name + std::to_string(value));
        if (late)
            eventer->Add(MakeMethod<&TRecorder::OnFire>(late));
    }

    std::vector<std::string>& log;
    std::string name;
    TTestEventer* eventer = nullptr;
    TRecorder* late = nullptr;
};

using Log = std::vector<std::string>;

} // namespace

TEST(Eventer, CallsSubscribersInSubscriptionOrder)
{
    Log log;
    TRecorder a(log, "a"), b(log, "b");
    TTestEventer eventer;
    SubscribeEventer(&eventer, MakeMethod<&TRecorder::OnFire>(&b));
    SubscribeEventer(&eventer, MakeMethod<&TRecorder::OnFire>(&a));
    eventer.Fire(7);
    EXPECT_EQ(log, (Log{"b7", "a7"}));
}

TEST(Eventer, EmptyEventerFiresNothing)
{
    TTestEventer eventer;
    EXPECT_EQ(eventer.Count(), 0u);
    eventer.Fire(1);
    EXPECT_EQ(eventer.Count(), 0u);
}

TEST(Eventer, DuplicateIsCalledTwiceAndOneRemoveTakesOnlyTheFirst)
{
    Log log;
    TRecorder a(log, "a"), b(log, "b");
    TTestEventer eventer;
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&a));
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&b));
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&a));
    eventer.Fire(1);
    EXPECT_EQ(log, (Log{"a1", "b1", "a1"}));

    log.clear();
    eventer.Remove(MakeMethod<&TRecorder::OnFire>(&a));
    eventer.Fire(2);
    EXPECT_EQ(log, (Log{"b2", "a2"}));
}

TEST(Eventer, RemoveMatchesCodeAndObjectAndIgnoresStrangers)
{
    Log log;
    TRecorder a(log, "a"), b(log, "b");
    TTestEventer eventer;
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&a));
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&b));
    eventer.Remove(MakeMethod<&TRecorder::OnFireAndThrow>(&a)); // same object, other code
    eventer.Remove(MakeMethod<&TRecorder::OnFire>(&b));         // same code, other object
    UnsubscribeEventer(&eventer, MakeMethod<&TRecorder::OnFire>(&b)); // no longer there
    eventer.Fire(3);
    EXPECT_EQ(log, (Log{"a3"}));

    // A nil eventer (one never created) is accepted by both routines.
    SubscribeEventer<TTestEventer>(nullptr, MakeMethod<&TRecorder::OnFire>(&a));
    UnsubscribeEventer<TTestEventer>(nullptr, MakeMethod<&TRecorder::OnFire>(&a));
}

TEST(Eventer, ThrowingSubscriberDoesNotStopTheOthers)
{
    Log log;
    TRecorder a(log, "a"), b(log, "b");
    TTestEventer eventer;
    eventer.Add(MakeMethod<&TRecorder::OnFireAndThrow>(&a));
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&b));
    EXPECT_NO_THROW(eventer.Fire(4));
    EXPECT_EQ(log, (Log{"a4", "b4"}));
}

TEST(Eventer, SubscriberRemovingItselfMakesTheNextMissThisFiringOnly)
{
    Log log;
    TRecorder a(log, "a"), b(log, "b"), c(log, "c");
    TTestEventer eventer;
    a.eventer = &eventer;
    eventer.Add(MakeMethod<&TRecorder::OnFireAndUnsubscribe>(&a));
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&b));
    eventer.Add(MakeMethod<&TRecorder::OnFire>(&c));
    eventer.Fire(1);
    EXPECT_EQ(log, (Log{"a1", "c1"}));

    log.clear();
    eventer.Fire(2);
    EXPECT_EQ(log, (Log{"b2", "c2"}));
}

TEST(Eventer, SubscriberAddedDuringFiringIsCalledInTheSameFiring)
{
    Log log;
    TRecorder a(log, "a"), late(log, "late");
    TTestEventer eventer;
    a.eventer = &eventer;
    a.late = &late;
    eventer.Add(MakeMethod<&TRecorder::OnFireAndSubscribe>(&a));
    eventer.Fire(1);
    EXPECT_EQ(log, (Log{"a1", "late1"}));
}

namespace {

// Holds its caller inside a firing until released.
struct TBlockingSubscriber {
    TWinHandle entered{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    TWinHandle release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};

    void OnFire(int)
    {
        SetEvent(entered.Get());
        WaitForSingleObject(release.Get(), 5000);
    }
};

} // namespace

TEST(Eventer, AddFromAnotherThreadWaitsUntilFiringEnds)
{
    TBlockingSubscriber blocker;
    Log log;
    TRecorder other(log, "other");
    TTestEventer eventer;
    eventer.Add(MakeMethod<&TBlockingSubscriber::OnFire>(&blocker));

    std::thread firing([&] { eventer.Fire(1); });
    ASSERT_EQ(WaitForSingleObject(blocker.entered.Get(), 5000), WAIT_OBJECT_0);

    std::atomic<bool> added = false;
    std::thread adding([&] {
        eventer.Add(MakeMethod<&TRecorder::OnFire>(&other));
        added = true;
    });
    Sleep(150);
    EXPECT_FALSE(added);

    SetEvent(blocker.release.Get());
    firing.join();
    adding.join();
    EXPECT_TRUE(added);
    EXPECT_EQ(eventer.Count(), 2u);
    EXPECT_TRUE(log.empty());
}

namespace {

struct TLinkListener {
    void OnNotify(ICommunicationInterface* sender)
    {
        senders.push_back(sender);
        countsDuringFiring.push_back(link->RefCount());
    }
    void OnChange(ICommunicationInterface* sender, int32_t code, bool state)
    {
        senders.push_back(sender);
        changes.emplace_back(code, state);
    }

    TFakeLink* link = nullptr;
    std::vector<ICommunicationInterface*> senders;
    std::vector<LONG> countsDuringFiring;
    std::vector<std::pair<int32_t, bool>> changes;
};

} // namespace

TEST(Eventer, LinkEventersPassTheSenderAndHoldItDuringFiring)
{
    auto link = MakeObject<TFakeLink>();
    ICommunicationInterface* sender = link.Get();
    TLinkListener listener;
    listener.link = link.Get();

    TeventerCiNotify notify;
    notify.Add(MakeMethod<&TLinkListener::OnNotify>(&listener));
    notify.Fire(sender);
    EXPECT_EQ(listener.senders, (std::vector<ICommunicationInterface*>{sender}));
    EXPECT_EQ(listener.countsDuringFiring, (std::vector<LONG>{2}));
    EXPECT_EQ(link->RefCount(), 1);

    TeventerCiNotifyChangeEvent change;
    change.Add(MakeMethod<&TLinkListener::OnChange>(&listener));
    change.Fire(sender, 3, true);
    EXPECT_EQ(listener.changes, (std::vector<std::pair<int32_t, bool>>{{3, true}}));
}
