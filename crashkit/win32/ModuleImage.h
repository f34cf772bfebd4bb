#pragma once
// Headers, exports and resources of modules loaded in this process, read from their images
// in memory (or, where memory was changed, from their files) without trusting either.
#include <windows.h>

#include <cstdint>
#include <string>

#include "text/ZelTypes.h"

// The module whose allocation holds the address, and its file name; false when the memory is
// not committed or belongs to no file.
bool GetModuleOfAddress(const void* address, HMODULE& module, UnicodeString& fileName);

// The module's NT headers, or null when the image is not a readable PE image.
const IMAGE_NT_HEADERS* GetImageNtHeaders(HMODULE module);
// The address of a data directory of the module (PE32 or PE32+), or null.
const void* GetImageDirectory(HMODULE module, unsigned index);
const IMAGE_EXPORT_DIRECTORY* GetImageExportDirectory(HMODULE module);
uint32_t GetImageSize(const IMAGE_NT_HEADERS* headers);

// An export from the module's own table, forwarders followed; with fromFile (or when the
// entry in memory points outside the image) the entry is read from the module's file when
// its table has the same layout. The system's GetProcAddress when nothing is found.
FARPROC GetImageProcAddress(HMODULE module, const char* name, bool fromFile);
FARPROC GetImageProcAddressByOrdinal(HMODULE module, uint32_t ordinal);

// The name of the export at that address ("#" + ordinal without one); false when none is.
bool GetExportNameA(HMODULE module, const void* address, bool unmangle, AnsiString& name);
bool GetExportNameW(HMODULE module, const void* address, bool unmangle, UnicodeString& name);

// The raw bytes of a resource; empty when it is missing.
std::string LoadResourceStr(HMODULE module, const wchar_t* type, const wchar_t* name);
