/* A runtime package of the host: routines exported under the runtime's mangled names (the
   .def file of each package says which). */
void StandInRoutineA(void) {}
void StandInRoutineB(void) {}
void StandInRoutineC(void) {}
/* An entry that another tool has patched already: it starts with a relative jump. */
const unsigned char StandInPatchedEntry[8] = {0xE9, 0, 0, 0, 0, 0xC3, 0, 0};
