#pragma once
// The exception shown in the assistant its settings name: the forms one after the other, and
// what was filled in taken into the report when the person went through to the end.
#include <windows.h>

#include <cstdint>

#include "handlers/HandlerException.h"
#include "model/win/ZelException.h"

class TNVAssistant;
class TIZEFields;

// False when the settings define no assistant of the exception's Assistant name or its forms
// cannot be loaded.
bool RunExceptionAssistant(TIZEException& exception);

// The assistant that SendAssis, SaveAssis or PrintAssis names for a send (0), save (1) or print
// (2) action, shown over the owner: finished with OK its fields go into the report; either way
// its edits and check boxes go into the additional fields. None when no assistant is named or
// its forms cannot be loaded.
TAssistantOutcome RunActionAssistant(TIZEException& exception, uint8_t action, HWND owner);

// The edits and check boxes of every form gone through, with an output name, into the report:
// a multi-line edit asking for a section of its own as that section, the rest as header fields
// (check boxes "yes" or "no").
void CopyAssistantFieldsToReport(const TNVAssistant& assistant, IZEException& exception);

// The edits and check boxes of every form gone through into the fields named like them: an
// edit's text, a check box "+" or "-".
void CollectAssistantFields(const TNVAssistant& assistant, TIZEFields& fields);
