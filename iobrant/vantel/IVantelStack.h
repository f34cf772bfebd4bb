#pragma once
// A Vantel 97 packet stack on one link, and the devices that live on it.
#include "ICommunicationInterface.h"
#include "InterfacedObject.h"
#include "Method.h"
#include "Vantel97.h"

#include <cstdint>
#include <string>

struct IVantelStackDevice;

// Asynchronous reply handler: (the request as sent, the reply).
using TVantelReplyMethod = TMethod<const TVantelFormat97&, const TVantelFormat97&>;

// The broadcast address: a request to it takes a reply from any address, a frame from it
// reaches every device, and a device with it receives every frame.
constexpr uint8_t kVantelBroadcast = 0xFE;

// {1DF4C859-3157-41CD-AD86-E137FE27F5CF}
inline constexpr GUID IID_IVantelStack = {
    0x1DF4C859, 0x3157, 0x41CD, {0xAD, 0x86, 0xE1, 0x37, 0xFE, 0x27, 0xF5, 0xCF}};

struct IVantelStack : public virtual IUnknown {
    // Writes the request frame without waiting; true when the link took all of it.
    virtual bool Send(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data) = 0;
    // Writes the request and waits for the frame that answers it (same signature, and the
    // same address unless asked at the broadcast address); true when one came.
    virtual bool SendAndReceive(uint8_t address, uint8_t signature, uint8_t instruction,
                                const std::string& data, std::string& answer, uint32_t timeoutMs) = 0;
    virtual TIntfPtr<ICommunicationInterface> GetCommInterface() = 0;
    virtual void SetCommInterface(ICommunicationInterface* link) = 0;
    virtual bool AddDevice(IVantelStackDevice* device) = 0;
    virtual bool RemoveDevice(IVantelStackDevice* device) = 0;
};

// {B4371527-2102-41A1-9BBD-52521EC54798}
inline constexpr GUID IID_IVantelStackDevice = {
    0xB4371527, 0x2102, 0x41A1, {0x9B, 0xBD, 0x52, 0x52, 0x1E, 0xC5, 0x47, 0x98}};

struct IVantelStackDevice : public virtual IUnknown {
    virtual TIntfPtr<IVantelStack> GetStack() = 0;
    virtual void SetStack(IVantelStack* stack) = 0;
    virtual uint8_t GetAddress() = 0;
    // The local field only; WriteAddress changes the module's.
    virtual void SetAddress(uint8_t address) = 0;
    // A frame the stack received for this device, answer or unsolicited.
    virtual void Dispatch(const TVantelFormat97& record) = 0;
    virtual bool Reset() = 0;
    virtual bool Identify() = 0;
    virtual bool ReadParamF1(uint8_t& value) = 0;
    virtual bool WriteParamE1(uint8_t value) = 0;
    virtual bool GetUserData(std::string& data) = 0;
    virtual bool SetUserData(const std::string& text) = 0;
    virtual bool GetIdentificationText(std::string& text) = 0;
    virtual bool ReadFlagFE(bool& flag) = 0;
    virtual bool WriteFlagEE(bool flag) = 0;
    virtual bool GetFactoryInfo(uint16_t& word1, uint16_t& word2, uint32_t& value) = 0;
    virtual bool ReadAddress(uint8_t& address) = 0;
    virtual bool WriteAddress(uint8_t address) = 0;
    virtual bool WriteAddressEB(uint16_t word1, uint16_t word2, uint8_t address) = 0;
    virtual bool ReadAddressAndBaud(uint8_t& address, uint32_t& baudRate) = 0;
    virtual bool WriteAddressAndBaud(uint8_t address, uint32_t baudRate) = 0;
    virtual bool PrepareConfigWrite() = 0;
    // Any instruction; true for any reply to it, whatever its acknowledge.
    virtual bool SendReceiveRaw(uint8_t instruction, const std::string& data, int32_t timeoutMs,
                                uint8_t& acknowledge, std::string& reply) = 0;
    virtual void ClearStatus() = 0;
    // Acknowledge of the last parsed reply; -1 when none.
    virtual int32_t GetLastAck() = 0;
    // Outcome of the last exchange (TVantelStatus).
    virtual uint8_t GetStatus() = 0;
    // 0 allocates signatures; any other value is carried by every request.
    virtual void SetFixedSignature(uint8_t signature) = 0;
    virtual uint8_t GetFixedSignature() = 0;
};
