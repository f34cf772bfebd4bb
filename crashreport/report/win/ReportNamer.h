#pragma once
// The names of code addresses for the report builds of a process: one namer for as long as the
// same modules are loaded, so that each module's debug information is sought once, not once per
// report. One build uses it at a time.
#include <mutex>

#include "StackSeams.h"

class TReportNamer {
public:
    // Waits for a build that uses the namer; a namer made before modules came or went is replaced.
    TReportNamer();
    const ICodeNamer& Namer() const { return namer_; }

private:
    std::unique_lock<std::mutex> lock_;
    const ICodeNamer& namer_;
};
