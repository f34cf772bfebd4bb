#include "text/ZelException.h"

#include <atomic>

namespace {

std::atomic<TExceptionFactory> registeredClass{nullptr};
std::atomic<TExceptionFactory> unknownFaultFactory{nullptr};

std::exception_ptr MakeZelException(const std::string& message)
{
    return std::make_exception_ptr(ZelException(message));
}

std::exception_ptr MakeUnknownFault(const std::string&)
{
    return CreateExceptionObject(
        "Unknown exception. If you want to know more, you have to add SysUtils to your project.");
}

} // namespace

void RegisterExceptionClass(TExceptionFactory factory, TExceptionFactory unknownFault)
{
    registeredClass = factory;
    unknownFaultFactory = unknownFault;
}

TExceptionFactory RegisteredExceptionClass()
{
    return registeredClass;
}

std::exception_ptr CreateExceptionObject(const std::string& message)
{
    const TExceptionFactory factory = registeredClass;
    return factory ? factory(message) : MakeZelException(message);
}

void InstallExceptionClass()
{
    TExceptionFactory none = nullptr;
    if (registeredClass.compare_exchange_strong(none, &MakeZelException))
        unknownFaultFactory = &MakeUnknownFault;
}

std::exception_ptr UnknownFaultException()
{
    const TExceptionFactory factory = unknownFaultFactory;
    return factory ? factory(std::string()) : MakeUnknownFault(std::string());
}
