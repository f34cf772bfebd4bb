#pragma once
// The names of code addresses for the report builds of a process: one shared namer for as long
// as the same modules are loaded, so that each module's export table and debug information are
// sought once, not once per report. One build uses it at a time; a build that finds it in use
// gets a namer of its own rather than waiting, since the build that holds it may itself be
// waiting (in a callback or plug-in) for this one.
#include <memory>
#include <mutex>

#include "StackSeams.h"

class TProcessNamer;

class TReportNamer {
public:
    // A namer made before modules came or went is replaced.
    TReportNamer();
    ~TReportNamer();
    TReportNamer(const TReportNamer&) = delete;
    TReportNamer& operator=(const TReportNamer&) = delete;

    const ICodeNamer& Namer() const { return *namer_; }
    // True when this build has the shared namer.
    bool UsesSharedNamer() const { return lock_.owns_lock(); }

private:
    std::unique_lock<std::mutex> lock_;
    std::unique_ptr<TProcessNamer> own_; // while the shared one is in use
    const ICodeNamer* namer_;
};
