#pragma once
// A file handle that closes itself.
#include <windows.h>

class TWinFile {
public:
    explicit TWinFile(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~TWinFile() { Close(); }
    TWinFile(const TWinFile&) = delete;
    TWinFile& operator=(const TWinFile&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    // False when closing reports a failure.
    bool Close()
    {
        if (!IsOpen())
            return true;
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

private:
    HANDLE handle_;
};
