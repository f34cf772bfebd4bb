#pragma once
// The running Windows version and edition, asked once per process.
#include "system/OsVersion.h"

TOS GetOSInfo();
