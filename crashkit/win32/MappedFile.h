#pragma once
// A file mapped read-only as a whole, for reading a module's image as it lies on disk.
#include <windows.h>

#include <string_view>

class TMappedFile {
public:
    explicit TMappedFile(const wchar_t* path);
    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    // Empty when the file could not be mapped.
    std::string_view Bytes() const { return bytes_; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
    const void* view_ = nullptr;
    std::string_view bytes_;
};
