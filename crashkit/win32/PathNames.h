#pragma once
// Short (8.3) and long forms of paths, and version texts of files.
#include "text/ZelTypes.h"

// Every existing component becomes its short name (its long name when it has none);
// components with wildcards or that are not found stay; a trailing "\" goes.
UnicodeString ShortPathNameW(const UnicodeString& path);
AnsiString ShortPathNameA(const AnsiString& path);
// Every component holding "~" becomes its long name when found.
UnicodeString LongPathNameW(const UnicodeString& path);
AnsiString LongPathNameA(const AnsiString& path);

// The fixed file version as "a.b.c.d", else the FileVersion text of the first translation;
// empty without a version resource.
UnicodeString GetFileVersionStr(const UnicodeString& fileName);
