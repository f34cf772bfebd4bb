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
