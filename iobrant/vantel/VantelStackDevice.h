#pragma once
// Base of every device on a Vantel stack: its bus address, the signatures that tie its
// requests to replies, the exchange every instruction rests on (synchronous: send and
// wait; asynchronous: send, the reply arrives through Dispatch), the outcome of the last
// exchange, and the instructions every Vantel device understands.
#include "vantel/IVantelStack.h"
#include "InterfacedObject.h"
#include "vantel/VantelSignatureSlots.h"

#include <atomic>
#include <cstdint>
#include <string>

// Outcome of a device's last exchange.
enum TVantelStatus : uint8_t {
    kVantelStatusCleared = 0,
    kVantelStatusAcknowledged = 1, // reply with acknowledge 0
    kVantelStatusNoReply = 2,      // no reply, or an empty one
    kVantelStatusBadReply = 3,     // the reply failed the frame check
    kVantelStatusRefused = 4,      // reply with a nonzero acknowledge
};

class TVantelStackDevice : public TMyInterfacedObject, public virtual IVantelStackDevice {
public:
    static constexpr int32_t kDefaultTimeoutMs = 1000;
    static constexpr int32_t kConfigWriteTimeoutMs = 500;

    explicit TVantelStackDevice(uint8_t address);

    TIntfPtr<IVantelStack> GetStack() override;
    void SetStack(IVantelStack* stack) override;
    uint8_t GetAddress() override { return address_; }
    void SetAddress(uint8_t address) override { address_ = address; }
    // Replies (codes below 6) go to Response, unsolicited frames (12 to 15) to
    // AutomaticMessage; anything else is ignored. A failure there ends up in the last error.
    void Dispatch(const TVantelFormat97& record) override;

    bool Reset() override;
    // Fills name, version and third item from an answer of three fields or more.
    bool Identify() override;
    bool ReadParamF1(uint8_t& value) override;
    bool WriteParamE1(uint8_t value) override;
    bool GetUserData(std::string& data) override;
    // Sends 0, the text cut to 16 characters, and a 0 after a shorter text.
    bool SetUserData(const std::string& text) override;
    bool GetIdentificationText(std::string& text) override;
    bool ReadFlagFE(bool& flag) override;
    bool WriteFlagEE(bool flag) override;
    bool GetFactoryInfo(uint16_t& word1, uint16_t& word2, uint32_t& value) override;
    bool ReadAddress(uint8_t& address) override;
    bool WriteAddress(uint8_t address) override;
    bool WriteAddressEB(uint16_t word1, uint16_t word2, uint8_t address) override;
    bool ReadAddressAndBaud(uint8_t& address, uint32_t& baudRate) override;
    bool WriteAddressAndBaud(uint8_t address, uint32_t baudRate) override;
    bool PrepareConfigWrite() override;
    bool SendReceiveRaw(uint8_t instruction, const std::string& data, int32_t timeoutMs, uint8_t& acknowledge,
                        std::string& reply) override;
    void ClearStatus() override;
    int32_t GetLastAck() override { return lastAck_; }
    uint8_t GetStatus() override { return status_; }
    void SetFixedSignature(uint8_t signature) override { fixedSignature_ = signature; }
    uint8_t GetFixedSignature() override { return fixedSignature_; }

    // The exchange family; a time-out below 0 means kDefaultTimeoutMs. Exchange is true
    // when a reply with the request's signature came (synchronous) or the request went out
    // (asynchronous: `reply` stays empty and the reply reaches `callback`).
    bool Exchange(uint8_t instruction, const std::string& data, TVantelReplyMethod callback, bool synchronous,
                  int32_t timeoutMs, TVantelFormat97& reply);
    // Exchange, and when synchronous the acknowledge must be 0; the outputs are filled on
    // success.
    bool SendWithAck(uint8_t instruction, const std::string& data, TVantelReplyMethod callback, bool synchronous,
                     int32_t timeoutMs, uint8_t& acknowledge, std::string& replyData);
    bool SendForData(uint8_t instruction, const std::string& data, TVantelReplyMethod callback, bool synchronous,
                     int32_t timeoutMs, std::string& replyData);
    bool SendData(uint8_t instruction, const std::string& data, TVantelReplyMethod callback, bool synchronous,
                  int32_t timeoutMs);
    bool SendInstruction(uint8_t instruction, int32_t timeoutMs, TVantelReplyMethod callback, bool synchronous);

    // What the last Identify read.
    const std::string& Name() const { return name_; }
    const std::string& Version() const { return version_; }
    const std::string& ThirdItem() const { return thirdItem_; }
    bool Identified() const { return identified_; }
    // Last value read with 0xF1 or written with 0xE1.
    uint8_t ParameterByte() const { return parameterByte_; }

protected:
    void* FindInterface(REFIID iid) override;
    void SetStatus(uint8_t status) { status_ = status; }
    void SetLastAck(int32_t acknowledge) { lastAck_ = acknowledge; }
    // An unsolicited frame (codes 12 to 15) from this device's address; nothing here.
    virtual void AutomaticMessage(const TVantelFormat97& record);
    // A reply that arrived through dispatch: runs the asynchronous request's handler.
    virtual void Response(const TVantelFormat97& record);

private:
    bool ExchangeSynchronously(IVantelStack& stack, uint8_t signature, uint8_t instruction, const std::string& data,
                               uint32_t timeoutMs, TVantelFormat97& reply);
    bool ExchangeAsynchronously(IVantelStack& stack, uint8_t signature, uint8_t instruction,
                                const std::string& data, TVantelReplyMethod callback);
    // Reads 0xF0: the address byte and whatever follows it.
    bool ReadAddressReply(std::string& reply);

    TVantelSignatureSlots slots_;
    std::atomic<uint8_t> address_;
    TCriticalSection stackLock_;
    TIntfPtr<IVantelStack> stack_;
    std::string name_;
    std::string version_;
    std::string thirdItem_;
    bool identified_ = false;
    uint8_t parameterByte_ = 0;
    std::atomic<uint8_t> status_ = kVantelStatusCleared;
    std::atomic<int32_t> lastAck_ = -1;
    std::atomic<uint8_t> fixedSignature_ = 0;
};
