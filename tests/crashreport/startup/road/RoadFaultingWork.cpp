// A fault in the library's own code, compiled so that it unwinds as a C++ exception; exported,
// so that the report names it without debug information.
#include <windows.h>

extern "C" __declspec(dllexport) __attribute__((noinline)) void RoadFaultingWork()
{
    *static_cast<volatile int*>(nullptr) = 1;
}
