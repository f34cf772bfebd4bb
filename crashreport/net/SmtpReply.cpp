#include "net/SmtpReply.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool HasCode(std::string_view line) { return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]); }

// A last line is the code alone or the code and a blank; "-" continues.
bool IsLastLine(std::string_view line) { return line.size() == 3 || line[3] == ' '; }

bool IsContinuationLine(std::string_view line) { return line.size() > 3 && line[3] == '-'; }

} // namespace

TSmtpReplyState SmtpReplyState(std::string_view received)
{
    if (received.size() > kMaxSmtpReplyLength)
        return TSmtpReplyState::Malformed;
    size_t start = 0;
    while (start < received.size()) {
        const size_t end = received.find(kLineEnd, start);
        if (end == std::string_view::npos)
            return TSmtpReplyState::Incomplete;
        const std::string_view line = received.substr(start, end - start);
        if (!HasCode(line))
            return TSmtpReplyState::Malformed;
        start = end + kLineEnd.size();
        if (IsLastLine(line))
            return start == received.size() ? TSmtpReplyState::Complete : TSmtpReplyState::Malformed;
        if (!IsContinuationLine(line))
            return TSmtpReplyState::Malformed;
    }
    return TSmtpReplyState::Incomplete;
}

int SmtpReplyCode(std::string_view reply)
{
    if (SmtpReplyState(reply) != TSmtpReplyState::Complete)
        return 0;
    const size_t lastStart = reply.rfind(kLineEnd, reply.size() - kLineEnd.size() - 1);
    const std::string_view last = reply.substr(lastStart == std::string_view::npos ? 0 : lastStart + kLineEnd.size());
    return (last[0] - '0') * 100 + (last[1] - '0') * 10 + (last[2] - '0');
}

std::string_view SmtpReplyText(std::string_view received)
{
    const size_t end = received.find_last_not_of(kLineEnd);
    return end == std::string_view::npos ? std::string_view() : received.substr(0, end + 1);
}
