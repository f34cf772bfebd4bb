#pragma once
// A link with a scripted transport for tests: bytes queued to be read, bytes written
// recorded, an active flag; optionally an automatic reply to every write.
#include "CommunicationInterface.h"
#include "CriticalSection.h"

#include <atomic>
#include <string>
#include <utility>

class TFakeLink : public TCommunicationInterface {
public:
    explicit TFakeLink(std::string id = "FAKE") : id_(std::move(id)) {}

    // Announcers made callable from tests.
    using TCommunicationInterface::DoChangeEvent;
    using TCommunicationInterface::DoClose;
    using TCommunicationInterface::DoConfigChanged;
    using TCommunicationInterface::DoDataReceived;
    using TCommunicationInterface::DoOpen;
    using TCommunicationInterface::SetCharTime;

    bool IsActive() override { return active_; }

    bool Open() override
    {
        TCommunicationInterface::Open();
        active_ = true;
        DoOpen();
        return true;
    }

    bool Close() override
    {
        active_ = false;
        DoClose();
        return true;
    }

    int32_t Write(const std::string& bytes) override
    {
        Trace(1, bytes);
        TLockGuard guard(lock_);
        written_ += bytes;
        ++writeCount_;
        incoming_ += reply_;
        return static_cast<int32_t>(bytes.size());
    }

    std::string Read() override
    {
        std::string bytes;
        {
            TLockGuard guard(lock_);
            bytes.swap(incoming_);
        }
        Trace(2, bytes);
        return bytes;
    }

    int32_t ReadLength() override
    {
        TLockGuard guard(lock_);
        return static_cast<int32_t>(incoming_.size());
    }

    std::string GetID() override { return id_; }
    std::string GetConnectionString() override { return connectionString_; }

    void SetConnectionString(const std::string& text) override
    {
        connectionString_ = text;
        TCommunicationInterface::SetConnectionString(text);
    }

    // Bytes the next Read takes.
    void QueueIncoming(const std::string& bytes)
    {
        TLockGuard guard(lock_);
        incoming_ += bytes;
    }

    // Queues the bytes and announces them, as a provider's receiving thread does.
    void Deliver(const std::string& bytes)
    {
        QueueIncoming(bytes);
        DoDataReceived();
    }

    // Bytes queued after every write from now on (empty: none).
    void SetReply(const std::string& bytes)
    {
        TLockGuard guard(lock_);
        reply_ = bytes;
    }

    std::string Written()
    {
        TLockGuard guard(lock_);
        return written_;
    }

    int WriteCount()
    {
        TLockGuard guard(lock_);
        return writeCount_;
    }

    // Sets the flag without opening or announcing.
    void SetActiveFlag(bool active) { active_ = active; }

private:
    TCriticalSection lock_;
    std::string id_;
    std::string connectionString_;
    std::string incoming_;
    std::string written_;
    std::string reply_;
    int writeCount_ = 0;
    std::atomic<bool> active_ = false;
};

// A fake link that tells when it was freed.
class TTrackedLink : public TFakeLink {
public:
    explicit TTrackedLink(bool* freed) : freed_(freed) {}
    ~TTrackedLink() override { *freed_ = true; }

private:
    bool* freed_;
};
