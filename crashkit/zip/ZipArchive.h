#pragma once
// Zip archives of whole files, deflated, with UTF-8 names and DOS times, for attachments.
#include "text/ZelTypes.h"
#include "zip/ZipFileSystem.h"

// Stores each file under the send-as name of the same index, or under its own name without
// folders when the send-as list is shorter. Files that cannot be read are left out. True when
// at least one file was stored and everything was written; otherwise no archive remains.
bool WriteZipArchive(IZipFileSystem& files, const UnicodeString& archiveName, const TDAUnicodeString& fileNames,
                     const TDAUnicodeString& sendAsNames);
