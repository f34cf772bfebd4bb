#pragma once
// Code built so that its faults unwind as C++ exceptions once the capture converts them; each
// routine is short, so a fault lies within a few bytes of its start.
int ReadThrough(const volatile int* pointer);
void WriteThrough(volatile int* pointer, int value);
int Divide(int dividend, int divisor);
// Faults after a call, inside its own frame, with an object whose destructor counts cleanups.
int ReadInFrame(const volatile int* pointer, int& cleanups);
