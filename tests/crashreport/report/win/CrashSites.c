/* The chosen crash sites of the report tests, in a module of their own that carries its debug
   information, so that the reports name them. */
__declspec(dllexport) void CrashSiteA(void* unused)
{
    volatile int sum = 0;
    (void)unused;
    for (int i = 0; i < 3; ++i)
        sum += i;
    *(volatile int*)0 = sum;
}

__declspec(dllexport) void CrashSiteB(void* unused)
{
    volatile int product = 1;
    (void)unused;
    for (int i = 1; i < 4; ++i)
        product *= i;
    *(volatile int*)0 = product;
}
