#pragma once
// Linker names of the runtime ("@" unit "@" class "@" method "$" signature) as dotted names
// for call stacks: class + "." + method, with the unit given back apart. Constructor and
// destructor codes become "Create" and "Destroy". False (name unchanged) for a name that
// does not begin with "@".
#include "text/ZelTypes.h"

bool UnmangleNameA(AnsiString& name, AnsiString& unit);
bool UnmangleNameW(UnicodeString& name, UnicodeString& unit);
