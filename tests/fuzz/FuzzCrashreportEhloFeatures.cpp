// A server's EHLO reply over any bytes: what it offers is read without a crash, and LOGIN is
// never found without an AUTH line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/EhloFeatures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    OffersStartTls(reply);
    if (OffersAuthLogin(reply) && !OffersAuth(reply))
        __builtin_trap();
    return 0;
}
