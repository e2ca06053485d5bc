#pragma once
// The ways a writer at work can change a file while the program reads it: each leaves
// a last write, a length or an inode of its own, which a reader held to its snapshot
// must notice. The first entry changes nothing.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FileIo.h"

namespace velora::test {

struct WriterChange {
    const char* what;
    std::function<void(const std::string& path)> change;   // empty: unchanged
};

// `cutTo`: the length "cut short" leaves, below what the reader has read by then.
inline std::vector<WriterChange> writerChanges(off_t cutTo) {
    return {
        {"unchanged", nullptr},
        {"rewritten behind the reader, same length",
         [](const std::string& p) {
             const int fd = ::open(p.c_str(), O_WRONLY);
             ASSERT_GE(fd, 0);
             ASSERT_EQ(::pwrite(fd, "X", 1, 0), 1);
             ::close(fd);
         }},
        {"grown", [](const std::string& p) { fileio::append(p, "mehr"); }},
        {"cut short", [cutTo](const std::string& p) { ASSERT_EQ(::truncate(p.c_str(), cutTo), 0); }},
        {"replaced under its name",
         [](const std::string& p) {
             fileio::writeAll(p + ".neu", "ganz anders");
             ASSERT_EQ(std::rename((p + ".neu").c_str(), p.c_str()), 0);
         }},
    };
}

}  // namespace velora::test
