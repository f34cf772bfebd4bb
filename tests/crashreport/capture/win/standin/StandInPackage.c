/* A runtime package of the host: routines exported under the runtime's mangled names (the
   .def file of each package says which), each long enough to take an entry jump. */
volatile int standInCalls;

void StandInRoutineA(void)
{
    standInCalls += 1;
    standInCalls *= 3;
}

void StandInRoutineB(void)
{
    standInCalls += 2;
    standInCalls *= 5;
}

void StandInRoutineC(void)
{
    standInCalls += 3;
    standInCalls *= 7;
}

/* An entry that another tool has patched already: it starts with a relative jump. */
const unsigned char StandInPatchedEntry[8] = {0xE9, 0, 0, 0, 0, 0xC3, 0, 0};
