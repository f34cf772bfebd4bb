#pragma once
// The crash library's own exception classes, and the registration point through which the
// host's runtime may put its own exception class in their place.
#include <exception>
#include <stdexcept>
#include <string>

class ZelException : public std::runtime_error {
public:
    explicit ZelException(const std::string& message) : std::runtime_error(message) {}
    // Kept for hosts that read it; the library never sets one.
    int HelpContext() const noexcept { return 0; }
};

class EExternal : public ZelException {
public:
    using ZelException::ZelException;
};

class EExternalException : public EExternal {
public:
    using EExternal::EExternal;
};

// Makes an exception object of the runtime's registered exception class for a message.
using TExceptionFactory = std::exception_ptr (*)(const std::string& message);

// Registered by the runtime when its utility layer starts; replaces whatever is registered.
void RegisterExceptionClass(TExceptionFactory factory, TExceptionFactory unknownFault);
// The registered class, or none.
TExceptionFactory RegisteredExceptionClass();

// A new exception of the registered class, or a ZelException when none is registered.
std::exception_ptr CreateExceptionObject(const std::string& message);
// Registers ZelException and its unknown-fault object when nothing is registered yet.
void InstallExceptionClass();
// What the runtime raises for a fault it cannot name.
std::exception_ptr UnknownFaultException();
