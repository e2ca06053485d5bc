#pragma once
// Sets a file's last-access and last-write time for tests that depend on file stamps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "platform/Clock.h"

namespace velora::test {

// Seconds since the epoch plus nanoseconds; a link itself, not its target.
inline void setFileTime(const std::string& path, time_t seconds, long nanoseconds = 0) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// Seconds since the epoch of a local calendar time (the process's time zone decides).
inline time_t epochOfLocal(const DateTime& t) {
    tm parts = brokenDown(t);
    return mktime(&parts);
}

}  // namespace velora::test
