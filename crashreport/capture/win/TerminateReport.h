#pragma once
// The runtime's last resort: a program that ends through std::terminate reports a runtime
// error first (the escaping exception's text when there is one), without continuing, and then
// ends as the handler before it would have ended it.
void InstallTerminateReport();
void RemoveTerminateReport();
