#include "win32/FileReads.h"

bool ReadExactly(HANDLE file, char* data, uint64_t size)
{
    constexpr DWORD kPiece = 1u << 20;
    while (size > 0) {
        const DWORD wanted = size < kPiece ? static_cast<DWORD>(size) : kPiece;
        DWORD got = 0;
        if (!ReadFile(file, data, wanted, &got, nullptr) || got != wanted)
            return false;
        data += got;
        size -= got;
    }
    return true;
}
