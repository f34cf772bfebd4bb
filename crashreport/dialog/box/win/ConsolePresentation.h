#pragma once
// The exception on standard output: a line with the message (and the report) for console
// programs, a web page for programs that answer a web server.
#include "model/win/ZelException.h"

void WriteExceptionToConsole(TIZEException& exception);
void WriteExceptionPage(TIZEException& exception);
