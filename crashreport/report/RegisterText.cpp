#include "RegisterText.h"

#include "HexText.h"

UnicodeString RegistersText(const TRegisterSet& set)
{
    UnicodeString text;
    for (const TRegisterValue& reg : set.registers) {
        if (!text.empty())
            text += u"\r\n";
        text += reg.name;
        text += u" = ";
        text += HexDigits(reg.value, set.digits);
    }
    return text;
}
