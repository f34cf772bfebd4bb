#pragma once
// Files an issue through the tracker's SOAP interface at "/api/soap/mantisconnect.php" below
// the server's path: the projects and the configured project's lists first, then the issue
// and one attachment call per non-empty file.
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"
#include "trackers/TrackerExchange.h"

bool UploadToMantis(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report,
                    const std::vector<TTrackerFile>& files);

// The system's name without its build number ("... build 2600" and the blank before it go),
// at most 31 characters.
UnicodeString MantisOperatingSystem(std::u16string_view reported);
