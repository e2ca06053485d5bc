#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velora {

InputFile::InputFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) error_ = errno;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string InputFile::errorText() const { return std::strerror(error_); }

std::int64_t InputFile::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

long InputFile::read(char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, capacity);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        error_ = errno;
        return -1;
    }
}

}  // namespace velora
