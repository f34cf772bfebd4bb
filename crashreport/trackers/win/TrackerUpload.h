#pragma once
// The tracker routes over the HTTP client: the attachments that can be read go with the case,
// and the progress alert moves as on the HTTP upload route, one step per request.
#include <vector>

#include "IProgressAlert.h"
#include "http/WinHttp.h"
#include "trackers/TrackerExchange.h"

enum class TTrackerKind { FogBugz, BugZilla, Mantis };

// `server` is the client's server text ("[scheme://]host[/path]"); the tracker lives below its
// path. The alert, when given, gets the route's areas; the client closes it.
bool UploadToTracker(TTrackerKind kind, TWinHttp& http, const AnsiString& server, const TTrackerCase& report,
                     const std::vector<TUploadFile>& files, IProgressAlert* alert = nullptr,
                     const TUploadProgressTexts& texts = {});
