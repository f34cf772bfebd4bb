/* A system-like module for the tracer's accuracy corpus: built without debug information, its
   code is named by its exports only. SysFill faults in a routine it does not export; SysVisit
   calls back into the caller's code through a pointer. */
typedef struct TWalk TWalk;
typedef int (*TStep)(TWalk*, int);

static __attribute__((noinline)) int FillWorker(volatile int* target, int count)
{
    int total = 0;
    for (int i = 0; i < count; ++i)
        total += target[i] = i;
    return total;
}

__declspec(dllexport) int __stdcall SysFill(volatile int* target, int count)
{
    return FillWorker(target, count) + 1;
}

__declspec(dllexport) int SysVisit(TStep step, TWalk* walk, int depth)
{
    return step(walk, depth) + 1;
}
