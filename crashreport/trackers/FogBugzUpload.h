#pragma once
// Files a case through the tracker's XML API, which "/api.xml" below the server's path names:
// log on, fetch the lists, post the case with its files as a form, log off.
#include <string_view>
#include <vector>

#include "trackers/TrackerExchange.h"

bool UploadToFogBugz(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report,
                     const std::vector<TTrackerFile>& files);
