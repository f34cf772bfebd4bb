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
    const std::string text = Blanked(ehloReply);
    const size_t start = text.find("\r\n250 AUTH");
    if (start == std::string::npos)
        return false;
    const size_t end = text.find("\r\n", start + 2);
    const std::string line = text.substr(start + 2, end == std::string::npos ? end : end - start - 2) + " ";
    return Contains(line, " LOGIN ");
}
