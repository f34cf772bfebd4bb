#include "net/EhloFeatures.h"

#include <algorithm>
#include <string>

namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// "-" and "=" made blanks, so that continuation lines and "AUTH=" lists read alike.
std::string Blanked(std::string_view reply)
{
    std::string text(reply);
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '-' || c == '='; }, ' ');
    return text;
}

} // namespace

bool OffersStartTls(std::string_view ehloReply)
{
    return Contains(ehloReply, "250-STARTTLS\r\n") || Contains(ehloReply, "250 STARTTLS\r\n");
}

bool OffersAuth(std::string_view ehloReply) { return Contains(ehloReply, "250-AUTH") || Contains(ehloReply, "250 AUTH"); }

bool OffersAuthLogin(std::string_view ehloReply)
{
    // Servers may list their mechanisms on more than one AUTH line ("AUTH=" is the old form).
    for (size_t start = 0; start < ehloReply.size();) {
        const size_t end = ehloReply.find("\r\n", start);
        const std::string_view line = ehloReply.substr(start, end == std::string_view::npos ? end : end - start);
        if (OffersAuth(line) && line.substr(0, 3) == "250" && Contains(Blanked(line) + " ", " LOGIN "))
            return true;
        if (end == std::string_view::npos)
            break;
        start = end + 2;
    }
    return false;
}
