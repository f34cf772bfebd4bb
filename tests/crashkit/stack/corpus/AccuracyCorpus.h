// Code for measuring the stack tracer, built for i686 only and never run: its stacks are laid
// out from the compiled code. Levels call each other directly, through a table of pointers,
// through a module without debug information (by import cell and a callback), themselves, and
// through a throw that is caught, rethrown and caught again before the walk goes on.
#pragma once

struct TWalk {
    const unsigned char* route;
    volatile int* target;
};
using TStep = int (*)(TWalk&, int);

#define CORPUS_CALL __attribute__((noinline))

extern "C" __declspec(dllimport) int SysVisit(TStep step, TWalk* walk, int depth);
extern "C" __declspec(dllimport) int __stdcall SysFill(volatile int* target, int count);

extern TStep const kSteps[16];
CORPUS_CALL int Note(TWalk& walk, int depth);
CORPUS_CALL int Catches(TWalk& walk, int depth);
CORPUS_CALL int FramedCrash(TWalk& walk, int value);
CORPUS_CALL int LeanCrash(TWalk& walk, int value);

// One level: an earlier call whose frames go stale, then one way on chosen by the route.
#define CORPUS_LEVEL(Name, Next, Cross, Crash)                                                    \
    CORPUS_CALL int Name(TWalk& walk, int depth)                                                  \
    {                                                                                             \
        const int noted = Note(walk, depth);                                                      \
        const int route = walk.route[depth];                                                      \
        if (route == 0)                                                                           \
            return Crash(walk, noted);                                                            \
        if (route == 1)                                                                           \
            return SysFill(walk.target, noted);                                                   \
        if (route == 2)                                                                           \
            return Next(walk, depth - 1) + noted;                                                 \
        if (route == 3)                                                                           \
            return Cross(walk, depth - 1) + noted;                                                \
        if (route == 4)                                                                           \
            return kSteps[(depth + noted) & 15](walk, depth - 1) + noted;                        \
        if (route == 5)                                                                           \
            return SysVisit(kSteps[noted & 15], &walk, depth - 1) + noted;                      \
        if (route == 6)                                                                           \
            return Name(walk, depth - 1) + noted;                                                 \
        return Catches(walk, depth - 1) + noted;                                                  \
    }

// A unit's crash routine and its eight levels, each going on to the next, or across to the level
// of the other unit with the same number.
#define CORPUS_UNIT(Prefix, Other, Crash)                                                         \
    CORPUS_CALL int Crash(TWalk& walk, int value)                                                 \
    {                                                                                             \
        *walk.target = value;                                                                     \
        return Note(walk, value);                                                                 \
    }                                                                                             \
    CORPUS_LEVEL(Prefix##0, Prefix##1, Other##0, Crash)                                           \
    CORPUS_LEVEL(Prefix##1, Prefix##2, Other##1, Crash)                                           \
    CORPUS_LEVEL(Prefix##2, Prefix##3, Other##2, Crash)                                           \
    CORPUS_LEVEL(Prefix##3, Prefix##4, Other##3, Crash)                                           \
    CORPUS_LEVEL(Prefix##4, Prefix##5, Other##4, Crash)                                           \
    CORPUS_LEVEL(Prefix##5, Prefix##6, Other##5, Crash)                                           \
    CORPUS_LEVEL(Prefix##6, Prefix##7, Other##6, Crash)                                           \
    CORPUS_LEVEL(Prefix##7, Prefix##0, Other##7, Crash)

#define CORPUS_DECLARE_LEVELS(Prefix)                                                             \
    CORPUS_CALL int Prefix##0(TWalk&, int);                                                       \
    CORPUS_CALL int Prefix##1(TWalk&, int);                                                       \
    CORPUS_CALL int Prefix##2(TWalk&, int);                                                       \
    CORPUS_CALL int Prefix##3(TWalk&, int);                                                       \
    CORPUS_CALL int Prefix##4(TWalk&, int);                                                       \
    CORPUS_CALL int Prefix##5(TWalk&, int);                                                       \
    CORPUS_CALL int Prefix##6(TWalk&, int);                                                       \
    CORPUS_CALL int Prefix##7(TWalk&, int);

CORPUS_DECLARE_LEVELS(FramedLevel)
CORPUS_DECLARE_LEVELS(LeanLevel)
