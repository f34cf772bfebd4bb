#pragma once
// The functions the tracer has walked and the runtime's routines it knows, kept for the
// process: each function is disassembled once however many traces meet it. Thread-safe.
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "FunctionInfo.h"
#include "RuntimeRoutines.h"

class TAnalysedFunctions {
public:
    // The one that the traces of this process share.
    static TAnalysedFunctions& OfProcess();

    // Looked up through the namer of the first trace that asks, then kept.
    const TKnownRuntime& Runtime(const ICodeNamer& namer);
    // Walked at its first use, with the runtime's raising routines ending the code before them;
    // a failed walk is kept too, so that it is not tried again.
    std::shared_ptr<const TFunctionInfo> Function(const IFunctionEnvironment& memory, CodeAddress entry,
                                                  const TKnownRuntime& runtime);

private:
    std::mutex mutex_;
    std::optional<TKnownRuntime> runtime_;
    std::unordered_map<CodeAddress, std::shared_ptr<const TFunctionInfo>> functions_;
};
