#include "text/ZelException.h"

#include <gtest/gtest.h>

namespace {

class ERuntimeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::exception_ptr MakeRuntimeError(const std::string& message)
{
    return std::make_exception_ptr(ERuntimeError("runtime: " + message));
}

TEST(ZelException, ClassesFollowTheRegistration)
{
    RegisterExceptionClass(nullptr, nullptr);
    EXPECT_THROW(std::rethrow_exception(CreateExceptionObject("Stream write error.")), ZelException);

    InstallExceptionClass();
    EXPECT_NE(nullptr, RegisteredExceptionClass());
    try {
        std::rethrow_exception(UnknownFaultException());
        FAIL() << "nothing raised";
    } catch (const ZelException& error) {
        EXPECT_STREQ("Unknown exception. If you want to know more, you have to add SysUtils to your project.",
                     error.what());
        EXPECT_EQ(0, error.HelpContext());
    }

    // The runtime's own class replaces ours and is not replaced back.
    RegisterExceptionClass(MakeRuntimeError, MakeRuntimeError);
    InstallExceptionClass();
    try {
        std::rethrow_exception(CreateExceptionObject("Stream write error."));
        FAIL() << "nothing raised";
    } catch (const ERuntimeError& error) {
        EXPECT_STREQ("runtime: Stream write error.", error.what());
    }
    RegisterExceptionClass(nullptr, nullptr);
}

TEST(ZelException, ExternalClassesDeriveFromIt)
{
    EXPECT_THROW(throw EExternalException("fault"), EExternal);
    EXPECT_THROW(throw EExternal("fault"), ZelException);
}

} // namespace
