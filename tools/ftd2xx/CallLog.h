#pragma once
// Every driver call of the stand-in, one line each ("FT_SetBaudRate 9600"), appended to
// the file named by FTD2XX_STANDIN_LOG; nothing is written without the variable.
#include <string>

void LogCall(const std::string& line);
