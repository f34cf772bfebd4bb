#include "AnalysedFunctions.h"

#include "FunctionWalker.h"

TAnalysedFunctions& TAnalysedFunctions::OfProcess()
{
    static TAnalysedFunctions functions;
    return functions;
}

const TKnownRuntime& TAnalysedFunctions::Runtime(const ICodeNamer& namer)
{
    const std::lock_guard lock(mutex_);
    if (!runtime_)
        runtime_ = FindKnownRuntime(namer);
    return *runtime_;
}

std::shared_ptr<const TFunctionInfo> TAnalysedFunctions::Function(const IFunctionEnvironment& memory,
                                                                  CodeAddress entry, const TKnownRuntime& runtime)
{
    const std::lock_guard lock(mutex_);
    std::shared_ptr<const TFunctionInfo>& held = functions_[entry];
    if (!held) {
        auto info = std::make_shared<TFunctionInfo>();
        ParseFunction(memory, entry, runtime.ForWalk(), *info);
        held = std::move(info);
    }
    return held;
}
