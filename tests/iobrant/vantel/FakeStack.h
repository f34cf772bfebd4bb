#pragma once
// A Vantel stack that records what its devices ask and answers from a script.
#include "vantel/IVantelStack.h"

#include <functional>
#include <string>
#include <vector>

class TFakeStack : public TMyInterfacedObject, public virtual IVantelStack {
public:
    struct TRequest {
        bool synchronous;
        uint8_t address;
        uint8_t signature;
        uint8_t instruction;
        std::string data;
        uint32_t timeoutMs;
    };
    // The answer frame to a synchronous request; empty for none.
    using TAnswerer = std::function<std::string(const TRequest&)>;

    // Every request is answered with acknowledge 0 and the data set for its instruction
    // (empty when none was set).
    TFakeStack()
    {
        answerer_ = [this](const TRequest& request) {
            return BuildVantel97(request.address, request.signature, 0, replyData[request.instruction]);
        };
    }

    std::string replyData[256];
    std::vector<TRequest> requests;
    bool sendSucceeds = true;

    void SetAnswerer(TAnswerer answerer) { answerer_ = std::move(answerer); }

    bool Send(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data) override
    {
        requests.push_back({false, address, signature, instruction, data, 0});
        return sendSucceeds;
    }

    bool SendAndReceive(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data,
                        std::string& answer, uint32_t timeoutMs) override
    {
        requests.push_back({true, address, signature, instruction, data, timeoutMs});
        answer = answerer_(requests.back());
        return !answer.empty();
    }

    TIntfPtr<ICommunicationInterface> GetCommInterface() override { return nullptr; }
    void SetCommInterface(ICommunicationInterface*) override {}
    bool AddDevice(IVantelStackDevice*) override { return false; }
    bool RemoveDevice(IVantelStackDevice*) override { return false; }

protected:
    void* FindInterface(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_IVantelStack))
            return static_cast<IVantelStack*>(this);
        return TMyInterfacedObject::FindInterface(iid);
    }

private:
    TAnswerer answerer_;
};
