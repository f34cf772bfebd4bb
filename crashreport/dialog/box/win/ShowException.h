#pragma once
// Presenting an exception to the person at the machine: on the console, as a web page, in an
// assistant or in the exception box, as the process and the exception's settings say.
#include "dialog/box/BoxButtons.h"
#include "model/win/ZelException.h"

void ShowException(TIZEException& exception);

// Runs the box of that kind; a request for the report reopens it as the full box showing the
// report, with the automatic actions switched off.
void RunExceptionBox(TIZEException& exception, TBoxKind kind);

// Installs ShowException as the exception object's show hook, the action assistants as its
// assistant runner, and the forms' handlers.
void InstallExceptionDialog();
