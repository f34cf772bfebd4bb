#pragma once
// The reachability test in front of every network road: an echo request to a public web
// host, and on an interactive send one attempt to bring a dial-up connection up.
#include <string>

#include "mapi/win/MailClient.h"

// True when an echo reply to our request came back within a second.
bool PingHost(const std::string& host);

// Skipped (true without traffic) while the process-wide switch says so, as it does at start.
bool TestConnectivity(bool mayDial, const TMailClientHooks& hooks);

void SetSkipConnectivityTest(bool skip);
// The host the test pings; tests point it at their own.
void SetConnectivityHost(const std::string& host);
