#pragma once
// Stream ends over files and file mappings for the deflate drivers: data moves through a
// 1 MB transfer buffer (files) or through mapped views of at most 1 MB (mappings), so large
// streams are never held whole. Handles stay the caller's.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "zip/StreamEnds.h"

// Reads `size` bytes from the file's start; a file that ends sooner is a read failure.
class TFileSource : public TStreamSource {
public:
    TFileSource(HANDLE file, uint64_t size) : file_(file), size_(size) {}
    bool Next(std::span<const uint8_t>& window) override;

private:
    HANDLE file_;
    uint64_t size_;
    uint64_t position_ = 0;
    std::vector<uint8_t> buffer_;
};

// Writes at the file's current position; a failed or short write raises "Stream write error.".
class TFileSink : public TStreamSink {
public:
    explicit TFileSink(HANDLE file) : file_(file) {}
    std::span<uint8_t> Next() override;
    void Commit(size_t used) override;

private:
    HANDLE file_;
    std::vector<uint8_t> buffer_;
    size_t committed_ = 0;
};

// A mapped view of the mapping's bytes at a time.
class TMappedView {
public:
    ~TMappedView() { Unmap(); }
    uint8_t* Map(HANDLE mapping, DWORD access, uint64_t offset, size_t length);
    void Unmap();

private:
    void* view_ = nullptr;
};

class TMappingSource : public TStreamSource {
public:
    TMappingSource(HANDLE mapping, uint64_t size) : mapping_(mapping), size_(size) {}
    bool Next(std::span<const uint8_t>& window) override;

private:
    HANDLE mapping_;
    uint64_t size_;
    uint64_t position_ = 0;
    TMappedView view_;
};

// Fills a mapping of `capacity` bytes from its start.
class TMappingSink : public TStreamSink {
public:
    TMappingSink(HANDLE mapping, uint64_t capacity) : mapping_(mapping), capacity_(capacity) {}
    std::span<uint8_t> Next() override;
    void Commit(size_t used) override { position_ += used; }

private:
    HANDLE mapping_;
    uint64_t capacity_;
    uint64_t position_ = 0;
    TMappedView view_;
};
