#pragma once
// What the exception object asks of the units around it, installed at start-up: the report
// builder, the handler lists, delivery, restart and close, the loader-lock probe, the screen
// capture and the exception dialog.
void InstallExceptionHooks();
void RemoveExceptionHooks();
