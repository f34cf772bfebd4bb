#pragma once
// The exception shown in the assistant its settings name: the forms one after the other, and
// what was filled in taken into the report when the person went through to the end.
#include "model/win/ZelException.h"

class TNVAssistant;

// False when the settings define no assistant of the exception's Assistant name or its forms
// cannot be loaded.
bool RunExceptionAssistant(TIZEException& exception);

// The edits and check boxes of every form gone through, with an output name, into the report:
// a multi-line edit asking for a section of its own as that section, the rest as header fields
// (check boxes "yes" or "no").
void CopyAssistantFieldsToReport(const TNVAssistant& assistant, IZEException& exception);
