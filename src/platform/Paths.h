#pragma once
// Path text helpers. "/" is the separator; the program's rules about "the text after
// the last \ or :" become "the text after the last /".
#include <string>

namespace velora::paths {

// Text after the last "/" (the whole text when there is none).
std::string fileNamePart(const std::string& path);
// Text up to and including the last "/" (empty when there is none).
std::string folderPartWithSlash(const std::string& path);
// folder + "/" + name, without doubling a "/" at the end of folder.
std::string join(const std::string& folder, const std::string& name);
bool hasWildcard(const std::string& path);  // contains "*" or "?"
// A file name from a setting: an absolute or empty name as it is, a relative one
// taken inside `folder` (the user's home), whatever the working folder happens to be
// (a service starts in "/").
std::string resolveIn(const std::string& folder, const std::string& name);

}  // namespace velora::paths
