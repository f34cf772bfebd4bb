#include "http/FileHolds.h"

#include "net/MimeBoundary.h"

bool FileHolds(HANDLE file, std::string_view text)
{
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return false;
    TTextSearch search(text);
    char block[2048];
    DWORD read = 0;
    while (!search.Found() && ReadFile(file, block, sizeof(block), &read, nullptr) && read != 0)
        search.Feed({block, read});
    return search.Found();
}
