#pragma once
// How this process presents an exception: console programs write it to standard output (as a
// web page when a web server runs them), all others show the dialog.
#include <windows.h>

#include "dialog/box/win/DialogEnvironment.h"

// The presentation of a program image; gatewaySet: the web server's marker variable is set.
TPresentation ImagePresentation(HMODULE image, bool gatewaySet);

// The presentation of the running process, from its main program and its environment.
TPresentation ProcessPresentation();

// Tells the dialog and the request handling how this process presents exceptions.
void SetUpPresentation();
