// SMTP replies over any bytes, whole and cut at every point a receive could end: a code is
// reported only for a complete reply, and a complete reply stays complete only as a whole.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/SmtpReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        const std::string_view part = text.substr(0, cut);
        const TSmtpReplyState state = SmtpReplyState(part);
        const int code = SmtpReplyCode(part);
        if ((state != TSmtpReplyState::Complete && code != 0) || code < 0 || code > 999)
            __builtin_trap();
        if (state == TSmtpReplyState::Complete && cut < text.size() &&
            SmtpReplyState(text) == TSmtpReplyState::Complete)
            __builtin_trap();
    }
    return 0;
}
