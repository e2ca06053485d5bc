#pragma once
// Whole-file operations, each opening and closing its file within the call. Failures
// raise IoError with the program's texts; nothing here ever truncates a file that is
// only to be appended to.
#include <cstdint>
#include <string>
#include <string_view>

namespace velora::fileio {

// Appends bytes at the end of the file; creates it (mode 0644 less umask) when it does
// not exist. An existing file that cannot be opened for appending raises IoError and
// is never re-created.
void append(const std::string& path, std::string_view bytes);
// As append, but a file created by this call first receives headerBytes.
void appendCreatingWithHeader(const std::string& path, std::string_view headerBytes,
                              std::string_view bytes);
// The whole content, every byte (NUL bytes included).
std::string readAll(const std::string& path);
// Creates or replaces the file with exactly these bytes.
void writeAll(const std::string& path, std::string_view bytes);
// Copies src over dst; false when either side fails (nothing is raised, dst may then
// be incomplete).
bool copyFile(const std::string& src, const std::string& dst);

bool exists(const std::string& path);          // any entry
bool isRegularFile(const std::string& path);   // follows links; folders, fifos: false
bool isDirectory(const std::string& path);
// Creates one folder level; true when this call created it.
bool createFolder(const std::string& path);

// Whether writing to `target` would overwrite `source`: the same file when both exist
// (hard and symbolic links included), else the same normalised absolute path.
bool sameFile(const std::string& source, const std::string& target);

// Length of a file opened for reading only, low 32 bits taken as signed; -1 when it
// cannot be opened (missing, a folder, no read permission).
std::int32_t querySize(const std::string& path);

}  // namespace velora::fileio
