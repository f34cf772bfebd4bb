// Writing to and reading from links, plain and as Vantel 97 frames. None of these takes the
// link's exchange lock.
#include "api/ApiFrame.h"
#include "HostMemory.h"
#include "Vantel97.h"
#include "conduvex.h"

#include <optional>

namespace {

// The frame that starts the pending bytes when it is complete and good.
std::optional<TVantelFormat97> GoodFrameAt(const std::string& pending, uint32_t frameLength)
{
    if (frameLength == 0)
        return std::nullopt;
    const std::string_view frame = std::string_view(pending).substr(0, frameLength);
    if (CheckVantel97(frame) != kVantelCheckOk)
        return std::nullopt;
    try {
        return ParseVantel97(frame);
    } catch (const EVantelPacketError&) {
        return std::nullopt;
    }
}

struct TVantelHeaderOut {
    uint8_t* address;
    uint8_t* signature;
    uint8_t* instruction;
};

// Takes the frame at the start of the read-ahead buffer when it is good and the caller's
// buffer holds its data; a bad frame is dropped, so that it cannot hide the ones behind it.
// The frame leaves the buffer only once the host has it: a fault on the host's pointers
// keeps it for the next read.
uint32_t TakeVantelFrame(ICommunicationInterface& link, TVantelHeaderOut header, uint8_t* data,
                         int32_t* dataLength)
{
    const int32_t capacity = ReadHost(dataLength);
    const std::string pending = link.PeekBuffered(-1);
    const uint32_t frameLength = Vantel97FrameLength(pending);
    const std::optional<TVantelFormat97> frame = GoodFrameAt(pending, frameLength);
    if (!frame) {
        WriteHost(dataLength, 0);
        if (frameLength != 0)
            link.ReadBuffered(static_cast<int32_t>(frameLength));
        return SetError(kErrBadVantelPacket);
    }
    const auto dataSize = static_cast<int32_t>(frame->data.size());
    if (!data && dataSize > 0) {
        WriteHost(dataLength, dataSize);
        return SetError(kErrBufferTooSmall);
    }
    if (data && capacity < dataSize) {
        WriteHost(dataLength, static_cast<int32_t>(frameLength));
        return SetError(kErrBufferTooSmall);
    }
    WriteHost(header.address, frame->address);
    WriteHost(header.signature, frame->signature);
    WriteHost(header.instruction, frame->instruction);
    CopyToHost(data, frame->data.data(), frame->data.size());
    WriteHost(dataLength, dataSize);
    link.ReadBuffered(static_cast<int32_t>(frameLength));
    return 0;
}

} // namespace

extern "C" uint32_t CI_CALL ciWrite(CI_HANDLE handle, const uint8_t* buffer, int32_t length)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) -> uint32_t {
        if (length <= 0)
            return 0;
        if (!buffer)
            RaiseCode(kErrInvalidParameters);
        link.Write(HostBytes(buffer, length));
        return 0;
    });
}

// The length on entry is the buffer's capacity: a negative one, or no buffer, would let
// the read-ahead rules take more than the buffer holds. The bytes leave the read-ahead
// buffer only once the host has them.
extern "C" uint32_t CI_CALL ciRead(CI_HANDLE handle, uint8_t* buffer, int32_t* length)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) -> uint32_t {
        const int32_t capacity = ReadHost(Required(length));
        if (capacity < 0 || !buffer)
            RaiseCode(kErrInvalidParameters);
        const std::string bytes = link.PeekBuffered(capacity);
        CopyToHost(buffer, bytes.data(), bytes.size());
        WriteHost(length, static_cast<int32_t>(bytes.size()));
        if (!bytes.empty())
            link.ReadBuffered(static_cast<int32_t>(bytes.size()));
        return 0;
    });
}

extern "C" int32_t CI_CALL ciReadLength(CI_HANDLE handle)
{
    return CiCallLinkValue<int32_t>(handle, -1, [](ICommunicationInterface& link) {
        return link.BufferedLength(false) + link.ReadLength();
    });
}

extern "C" uint32_t CI_CALL ciClearReadBuffer(CI_HANDLE handle)
{
    return CiCallLink(handle, [](ICommunicationInterface& link) -> uint32_t {
        link.ReadBuffered(-1);
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciReadVant97(CI_HANDLE handle, uint8_t* address, uint8_t* signature,
                                        uint8_t* instruction, uint8_t* data, int32_t* dataLength)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) {
        const TVantelHeaderOut header{Required(address), Required(signature),
                                      Required(instruction)};
        return TakeVantelFrame(link, header, data, Required(dataLength));
    });
}
