#include "model/win/ExceptionHooks.h"

TExceptionHooks& ExceptionHooks()
{
    static TExceptionHooks hooks;
    return hooks;
}
