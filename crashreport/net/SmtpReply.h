#pragma once
// SMTP replies as they arrive on the wire: one or more lines of a three-digit code, "-" (more
// lines follow) or a blank or nothing (last line), text, and CR LF.
#include <cstddef>
#include <string_view>

enum class TSmtpReplyState { Incomplete, Complete, Malformed };

// Replies longer than this are refused rather than buffered without end.
constexpr size_t kMaxSmtpReplyLength = 64 * 1024;

// Complete once a last line has arrived; Malformed for a line that is no reply line or a reply
// that grows past the limit.
TSmtpReplyState SmtpReplyState(std::string_view received);

// The code of a complete reply's last line; 0 for anything else.
int SmtpReplyCode(std::string_view reply);

// What is received, as a text for an error message: without the line ends that close it.
std::string_view SmtpReplyText(std::string_view received);
