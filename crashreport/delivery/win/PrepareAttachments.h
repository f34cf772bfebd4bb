#pragma once
// Gets the attachments ready for the routes: files made absolute, missing ones left out, the
// entries of each zip name packed into one archive in the library's temporary folder. Shows
// the progress alert of the send while it works.
#include <windows.h>

#include <vector>

#include "IProgressAlert.h"
#include "delivery/DeliveryRoutes.h"
#include "settings/AttachmentsList.h"
#include "settings/SettingAccessors.h"

// Three lists of equal length: what is sent, under which name, in which form field.
struct TAttachmentTriples {
    TDAUnicodeString files;
    TDAUnicodeString sendAsNames;
    TDAUnicodeString fieldNames;
    // Per input entry: whether it went out (on its own or inside an archive).
    std::vector<bool> carried;
};

TDeliveryRoutes RoutesOf(IZESettings& settings);

// The alert is shown when the send is not automatic or AutoSendBox says so; it has no owner
// on the background thread. Null when it cannot be made.
TIntfPtr<IProgressAlert> PrepareAttachments(IZESettings& settings, const std::vector<TAttachment>& entries,
                                            bool inThread, bool automatic, HWND parent, TAttachmentTriples& out);
