// What a raw ICMP socket receives while the reachability test waits for its echo reply.
#include <cstddef>
#include <cstdint>

#include "mapi/IcmpEcho.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint16_t identifier = size >= 2 ? static_cast<uint16_t>(data[0] << 8 | data[1]) : 0;
    ClassifyEchoAnswer(data, size, identifier, 1);
    InternetChecksum(data, size);
    return 0;
}
