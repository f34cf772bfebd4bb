#pragma once
// Files a bug through the tracker's XML-RPC interface at "/xmlrpc.cgi" below the server's path:
// the products, components, versions and allowed field values first, so that every value of
// the new bug is one the server takes; then one attachment call per non-empty file.
#include <string_view>
#include <vector>

#include "trackers/TrackerExchange.h"

bool UploadToBugZilla(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report,
                      const std::vector<TTrackerFile>& files);
