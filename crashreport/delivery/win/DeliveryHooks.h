#pragma once
// The exception object's send, save and print, through the delivery routes.
#include <windows.h>

#include "InterfacedObject.h"
#include "bitmap/win/INVBitmap.h"
#include "text/ZelTypes.h"

class TIZEException;

// Sends the exception's report (in the background when SendInBackgr says so); the background
// sender's handle goes to `ownedHandle` when given.
bool SendExceptionReport(TIZEException& exception, const UnicodeString& report, const TIntfPtr<INVBitmap>& screenShot,
                         HWND window, bool automatic, HANDLE* ownedHandle);

// Sets the send, save and print hooks of the exception object (the user's actions).
void InstallDelivery();
