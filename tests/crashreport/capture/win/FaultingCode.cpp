#include "FaultingCode.h"

int ReadThrough(const volatile int* pointer)
{
    return *pointer;
}

void WriteThrough(volatile int* pointer, int value)
{
    *pointer = value;
}

int Divide(int dividend, int divisor)
{
    const volatile int kept = divisor; // not folded away
    return dividend / kept;
}
