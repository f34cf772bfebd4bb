#pragma once
// String values of the registry; failures read as empty text and write as false.
#include <windows.h>

#include "text/ZelTypes.h"

UnicodeString RegReadStr(HKEY root, const UnicodeString& keyPath, const UnicodeString& valueName);
bool RegWriteStr(HKEY root, const UnicodeString& keyPath, const UnicodeString& valueName, const UnicodeString& text);
bool RegDeleteValueText(HKEY root, const UnicodeString& keyPath, const UnicodeString& valueName);
