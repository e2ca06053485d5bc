#pragma once
// A file opened for reading only and read in blocks, so large files stream through a
// fixed buffer. Closed when the object goes.
//
// A store may read the file it sends straight from where it lies, with two duties
// that make it as safe as sending a copy taken beforehand: holdTo() makes every read
// fail once the file is no longer the snapshot that was measured (any write, a change
// of length, another file under its name), so a file being written never goes out
// as whole; copyInto() writes every block read into a copy, which then holds exactly
// what was sent. Each block is read once, whoever sends it (FTP or SFTP).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileIo.h"

namespace velora {

class InputFile {
public:
    explicit InputFile(const std::string& path);
    // A copy that was not finished is removed.
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& path() const { return path_; }
    bool isOpen() const { return fd_ >= 0; }
    // Why the open or the last read failed: the system's text, or that the file changed.
    std::string errorText() const;
    // The system's error number behind errorText() (0 for a change).
    int errorNumber() const { return error_; }
    // The length in bytes, or -1.
    std::int64_t size() const;
    // Up to `capacity` bytes into `buffer`: the count, 0 at the end, -1 on a failure
    // (a read error, a failed copy, a change under holdTo). After a failure every
    // further read fails too.
    long read(char* buffer, std::size_t capacity);

    // From now on the file must stay `snapshot` (size, last write to the nanosecond,
    // device and inode), checked on the open file after every block and, at the end,
    // also that its name still leads to it. False when it is not that already.
    bool holdTo(const fileio::FileStatus& snapshot);
    // Every block read from now on is also written into a new file beside `copyPath`,
    // renamed to `copyPath` once the whole file has been read (and was still as held).
    // Returns 0 or the system's error number of the failed create (ENOSPC when the
    // disk has no room for the whole file).
    int copyInto(const std::string& copyPath);
    // Reads the whole file now, while it is still as held, and serves every later read
    // from memory: the snapshot of a small file, with nothing written to disk and
    // nothing left to remove. False when the read fails or the file is no longer as
    // held (changed() then tells which).
    bool takeIntoMemory();

    // While a copy is written (and the file is not in memory), the next block can
    // instead be copied by the system alone, and a sender that can pass bytes from a
    // file to a connection the same way sends it from the copy: fewer copies of each
    // byte, and the copy still holds exactly what was sent. `n` as read() returns it;
    // the block lies in the file `fd` from `offset` on.
    struct CopiedBlock {
        long n = -1;
        int fd = -1;
        std::int64_t offset = 0;
    };
    bool copiesBlocks() const { return copyFd_ >= 0 && !memory_; }
    CopiedBlock copyNextBlock(std::size_t capacity);

    // Whether the last failure was a change of the file held to.
    bool changed() const { return changed_; }
    // The system's error number of a failed copy (write, close or rename), else 0.
    int copyFailure() const { return copyError_; }

private:
    bool stillAsHeld(bool atEnd) const;
    long fail(int error);
    long afterBlock(long n);
    long copyByReading(std::size_t capacity);
    void finishCopy();
    void dropCopy();

    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    bool failed_ = false;
    bool changed_ = false;
    std::optional<fileio::FileStatus> held_;
    int copyFd_ = -1;
    std::string copyPath_;
    std::string copyTemp_;
    int copyError_ = 0;
    std::int64_t copied_ = 0;
    // copy_file_range() refused these two files (another file system, say): the
    // blocks go through bounce_ instead.
    bool kernelCopyRefused_ = false;
    std::unique_ptr<char[]> bounce_;
    std::size_t bounceSize_ = 0;
    std::unique_ptr<char[]> memory_;
    std::size_t memorySize_ = 0;
    std::size_t memoryOffset_ = 0;
};

}  // namespace velora
