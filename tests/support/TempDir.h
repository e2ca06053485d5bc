#pragma once
// A fresh folder under /tmp for one test, removed with everything in it afterwards,
// and whole-file reads and writes that leave the file's bytes exactly as given.
#include <string>

namespace velora::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes `bytes` to the file `name` in this folder and returns its full path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

std::string readFileBytes(const std::string& path);
// Throws when the file cannot be written, so a broken set-up never passes for a result.
void writeFileBytes(const std::string& path, const std::string& bytes);

}  // namespace velora::test
