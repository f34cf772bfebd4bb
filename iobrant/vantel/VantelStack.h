#pragma once
// A Vantel 97 packet stack on one link: sends a request and waits for the frame that
// answers it, and hands every other frame that arrives to the device (child) or devices
// whose address it carries. Never shows anything: failures surface through results and
// Iobrant's last error.
#include "CriticalSection.h"
#include "vantel/IVantelStack.h"
#include "NodedInterface.h"
#include "vantel/VantelFrameReader.h"

#include <cstdint>
#include <string>
#include <vector>

class TVantelStack : public TNodedInterface, public virtual IVantelStack {
public:
    // A stack with no link (SetCommInterface gives it one).
    TVantelStack() = default;
    // A configuration node; a parent that is a link becomes the stack's link. Raises
    // "IVantelStack Owner can be only ICommunicationInterface" for any other parent.
    TVantelStack(IXmlElement* element, IUnknown* parent);
    ~TVantelStack() override;

    bool Send(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data) override;
    bool SendAndReceive(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data,
                        std::string& answer, uint32_t timeoutMs) override;
    TIntfPtr<ICommunicationInterface> GetCommInterface() override;
    // Detaches the old link (its buffered bytes are dropped) and listens to the new one.
    void SetCommInterface(ICommunicationInterface* link) override;
    bool AddDevice(IVantelStackDevice* device) override;
    bool RemoveDevice(IVantelStackDevice* device) override;
    void SetParent(IUnknown* parent) override;

    // The child at `index` when it is a device.
    bool GetDevice(int index, TIntfPtr<IVantelStackDevice>& device);
    // Every received byte passes here; each complete good frame goes to its devices.
    // Never raises: a failing device leaves its error in the last error.
    void Receive(const std::string& data);
    // The link's data handler: reads what is waiting, unless an exchange is taking it.
    void icDataRcv(ICommunicationInterface* sender);

    std::string ClassName() const override { return "TVantelStack"; }

protected:
    void* FindInterface(REFIID iid) override;
    // Clock and wait of the exchange, in milliseconds; tests replace them.
    virtual uint32_t Now();
    virtual void Pause(uint32_t ms);

private:
    class TExchangeMark;

    TIntfPtr<ICommunicationInterface> CurrentLink();
    // Waits for the answer; frames that are not it and bytes before them go to setAside.
    std::string AwaitAnswer(ICommunicationInterface& link, uint8_t address, uint8_t signature,
                            size_t dataLength, uint32_t timeoutMs, std::string& setAside);
    // Ends the exchange and takes the frames of what it set aside and of what is waiting.
    std::vector<TVantelFormat97> FinishExchange(ICommunicationInterface& link, const std::string& setAside);
    // Under the receive lock: appends the bytes and takes out the frames now complete.
    std::vector<TVantelFormat97> TakeFrames(const std::string& bytes);
    void DispatchAll(const std::vector<TVantelFormat97>& records);
    void DispatchOne(const TVantelFormat97& record);

    TCriticalSection receiveLock_;
    TVantelFrameReader received_;
    // An exchange is reading the link itself; the data handler stands aside.
    bool exchanging_ = false;
    TIntfPtr<ICommunicationInterface> link_;
};
