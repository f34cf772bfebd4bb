#include "dialog/box/win/DialogEnvironment.h"

TDialogEnvironment& DialogEnvironment()
{
    static TDialogEnvironment environment;
    return environment;
}

bool AutoActionDue(int32_t value)
{
    const auto& due = DialogEnvironment().autoActionDue;
    return due ? due(value) : value == 1;
}

void SoundAlarm(UINT type)
{
    const auto& beep = DialogEnvironment().beep;
    if (beep)
        beep(type);
    else
        MessageBeep(type);
}
