#pragma once
// A file opened for reading only and read in blocks, so large files stream through a
// fixed buffer. Closed when the object goes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace velora {

class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The system's text for why the open or the last read failed.
    std::string errorText() const;
    // The length in bytes, or -1.
    std::int64_t size() const;
    // Up to `capacity` bytes into `buffer`: the count, 0 at the end, -1 on a read error.
    long read(char* buffer, std::size_t capacity);

private:
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace velora
