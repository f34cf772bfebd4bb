#pragma once
// A stack device that records the frames dispatched to it (from any thread).
#include "vantel/VantelStackDevice.h"

#include <mutex>
#include <vector>

class TRecordingDevice : public TVantelStackDevice {
public:
    using TVantelStackDevice::TVantelStackDevice;

    std::vector<TVantelFormat97> Automatic()
    {
        std::lock_guard guard(mutex_);
        return automatic_;
    }
    std::vector<TVantelFormat97> Responses()
    {
        std::lock_guard guard(mutex_);
        return responses_;
    }

protected:
    void AutomaticMessage(const TVantelFormat97& record) override
    {
        std::lock_guard guard(mutex_);
        automatic_.push_back(record);
    }
    void Response(const TVantelFormat97& record) override
    {
        {
            std::lock_guard guard(mutex_);
            responses_.push_back(record);
        }
        TVantelStackDevice::Response(record);
    }

private:
    std::mutex mutex_;
    std::vector<TVantelFormat97> automatic_;
    std::vector<TVantelFormat97> responses_;
};
