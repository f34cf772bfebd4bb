#pragma once
// The port of a mail server when none is configured: implicit TLS on 465, submission on 587
// when STARTTLS and credentials are asked for, else 25.
#include <cstdint>

constexpr uint16_t DefaultSmtpPort(uint16_t configured, bool ssl, bool tls, bool hasCredentials)
{
    if (configured != 0)
        return configured;
    if (ssl)
        return 465;
    return tls && hasCredentials ? 587 : 25;
}
