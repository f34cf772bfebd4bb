#include "model/win/ZelException.h"
