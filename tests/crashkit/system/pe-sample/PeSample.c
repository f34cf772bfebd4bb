/* A small DLL whose export table the PE tests read: named, ordinal-only and forwarded
   entries, built for both architectures. */
int Alpha(void) { return 1; }
int Beta(void) { return 2; }
int Hidden(void) { return 3; }
