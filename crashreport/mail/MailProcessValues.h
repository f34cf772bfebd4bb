#pragma once
// The mail route's values that hold for the whole process: the sockets' time-out, the host name
// announced in EHLO and whether every text goes as UTF-8. The upload route takes the UTF-8
// switch too.
#include "mail/Smtp.h"

struct TMailProcessValues {
    int timeoutMs = TSmtpSocket::kTimeoutMs;
    AnsiString heloHost; // empty: the computer name
    // Every header word, body and form value as UTF-8, even when it fits the 8-bit code page.
    bool alwaysUtf8 = false;
};

TMailProcessValues MailProcessValues();
void SetMailProcessValues(const TMailProcessValues& values);
