#pragma once
// One hidden handler window per thread, through which parts of the library register
// handlers for window messages that thread receives (broadcasts such as session end and
// setting changes among them). Handlers run on the window's thread, after the default
// window procedure, in the order they were added, and may change its result.
#include <windows.h>

using TMsgHandlerProc = void (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// A handler bound to an object.
struct TMsgHandlerMethod {
    void (*code)(void* object, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void* object;
};

// The thread's window (0 = the calling thread); created when the caller is that thread and it
// has none; otherwise null.
HWND GetMsgHandlerWindow(DWORD threadId = 0);

// Registers a handler; message 0 takes the first number from 1024 on that the window does not
// handle yet. The message number, or 0 when the handler is registered already or the window
// is not there.
UINT AddMsgHandler(TMsgHandlerProc procedure, UINT message, DWORD threadId = 0);
UINT AddMsgHandler(TMsgHandlerMethod method, UINT message, DWORD threadId = 0);

// Removes the handler (message 0: for every message). The window goes with its last handler:
// destroyed on its own thread, asked to close from another.
void DelMsgHandler(TMsgHandlerProc procedure, UINT message, DWORD threadId = 0);
void DelMsgHandler(TMsgHandlerMethod method, UINT message, DWORD threadId = 0);

// Done when the library unloads: windows of the calling thread are destroyed, the others
// fall back to the default window procedure (this code goes away) and are asked to close.
void ReleaseMsgHandlerWindows();
