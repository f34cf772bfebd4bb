#pragma once
// What a server's EHLO reply offers, read the way the mail route needs it.
#include <string_view>

// A "250-STARTTLS" or "250 STARTTLS" line.
bool OffersStartTls(std::string_view ehloReply);
// A "250-AUTH" or "250 AUTH" line of any mechanisms.
bool OffersAuth(std::string_view ehloReply);
// LOGIN among the AUTH line's mechanisms, listed after a blank or after "=".
bool OffersAuthLogin(std::string_view ehloReply);
