#pragma once
// A link whose incoming bytes arrive at scripted moments of a test clock, and a stack that
// waits on that clock, so that deadlines are tested exactly and without sleeping. The
// clock starts just before the tick counter's wrap.
#include "CommunicationInterface.h"
#include "vantel/VantelStack.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TTestClock {
public:
    static constexpr uint32_t kStart = 0xFFFFFF80;

    uint32_t Now() const { return kStart + static_cast<uint32_t>(elapsed_); }
    uint64_t Elapsed() const { return elapsed_; }
    void Advance(uint32_t ms) { elapsed_ += ms; }

private:
    uint64_t elapsed_ = 0;
};

class TScriptedLink : public TCommunicationInterface {
public:
    // Runs on every write, with the bytes written; schedules the module's answer.
    using TResponder = std::function<void(TScriptedLink& link, const std::string& request)>;

    explicit TScriptedLink(TTestClock& clock) : clock_(clock) {}

    using TCommunicationInterface::DoDataReceived;
    using TCommunicationInterface::SetCharTime;

    bool IsActive() override { return active_; }
    std::string GetID() override { return "SCRIPTED"; }

    int32_t Write(const std::string& bytes) override
    {
        requests_.push_back(bytes);
        if (responder_)
            responder_(*this, bytes);
        return static_cast<int32_t>(bytes.size());
    }

    int32_t ReadLength() override
    {
        size_t due = 0;
        for (const auto& arrival : arrivals_)
            due += arrival.at <= clock_.Elapsed() ? arrival.bytes.size() : 0;
        return static_cast<int32_t>(due);
    }

    std::string Read() override
    {
        std::string bytes;
        std::vector<TArrival> later;
        for (auto& arrival : arrivals_) {
            if (arrival.at <= clock_.Elapsed())
                bytes += arrival.bytes;
            else
                later.push_back(std::move(arrival));
        }
        arrivals_ = std::move(later);
        return bytes;
    }

    // Bytes that arrive `delay` ms from now.
    void Arrive(uint32_t delay, const std::string& bytes) { arrivals_.push_back({clock_.Elapsed() + delay, bytes}); }
    // One byte every `step` ms, the first `delay` ms from now.
    void Trickle(uint32_t delay, uint32_t step, const std::string& bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i)
            Arrive(delay + static_cast<uint32_t>(i) * step, bytes.substr(i, 1));
    }

    void SetResponder(TResponder responder) { responder_ = std::move(responder); }
    void SetActiveFlag(bool active) { active_ = active; }
    const std::vector<std::string>& Requests() const { return requests_; }
    // Bytes scheduled and not read yet.
    size_t Pending() const
    {
        size_t count = 0;
        for (const auto& arrival : arrivals_)
            count += arrival.bytes.size();
        return count;
    }

private:
    struct TArrival {
        uint64_t at;
        std::string bytes;
    };

    TTestClock& clock_;
    TResponder responder_;
    std::vector<TArrival> arrivals_;
    std::vector<std::string> requests_;
    bool active_ = true;
};

class TClockedStack : public TVantelStack {
public:
    explicit TClockedStack(TTestClock& clock) : clock_(clock) {}

protected:
    uint32_t Now() override { return clock_.Now(); }
    void Pause(uint32_t ms) override { clock_.Advance(ms); }

private:
    TTestClock& clock_;
};
