#include "win32/FileStreamEnds.h"

#include <algorithm>

#include "text/ZelException.h"

namespace {

size_t WindowAt(uint64_t position, uint64_t size)
{
    return static_cast<size_t>(std::min<uint64_t>(kStreamWindow, size - position));
}

[[noreturn]] void RaiseWriteError()
{
    std::rethrow_exception(CreateExceptionObject("Stream write error."));
}

} // namespace

bool TFileSource::Next(std::span<const uint8_t>& window)
{
    const size_t length = WindowAt(position_, size_);
    window = {};
    if (length == 0)
        return true;
    buffer_.resize(kStreamWindow);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(position_);
    DWORD got = 0;
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !ReadFile(file_, buffer_.data(), static_cast<DWORD>(length), &got, nullptr) || got != length)
        return false;
    position_ += length;
    window = {buffer_.data(), length};
    return true;
}

std::span<uint8_t> TFileSink::Next()
{
    buffer_.resize(kStreamWindow);
    committed_ = 0;
    return {buffer_.data(), buffer_.size()};
}

void TFileSink::Commit(size_t used)
{
    DWORD written = 0;
    if (!WriteFile(file_, buffer_.data() + committed_, static_cast<DWORD>(used), &written, nullptr) || written != used)
        RaiseWriteError();
    committed_ += used;
}

uint8_t* TMappedView::Map(HANDLE mapping, DWORD access, uint64_t offset, size_t length)
{
    Unmap();
    view_ = MapViewOfFile(mapping, access, static_cast<DWORD>(offset >> 32), static_cast<DWORD>(offset & 0xFFFFFFFF),
                          length);
    return static_cast<uint8_t*>(view_);
}

void TMappedView::Unmap()
{
    if (view_)
        UnmapViewOfFile(view_);
    view_ = nullptr;
}

bool TMappingSource::Next(std::span<const uint8_t>& window)
{
    const size_t length = WindowAt(position_, size_);
    window = {};
    if (length == 0)
        return true;
    // Windows start at multiples of 1 MB, which the allocation granularity divides.
    const uint8_t* view = view_.Map(mapping_, FILE_MAP_READ, position_, length);
    if (!view)
        return false;
    position_ += length;
    window = {view, length};
    return true;
}

std::span<uint8_t> TMappingSink::Next()
{
    const size_t length = WindowAt(position_, capacity_);
    if (length == 0) {
        view_.Unmap();
        return {};
    }
    uint8_t* view = view_.Map(mapping_, FILE_MAP_WRITE, position_, length);
    if (!view)
        RaiseWriteError();
    return {view, length};
}
