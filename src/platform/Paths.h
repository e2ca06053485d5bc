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

}  // namespace velora::paths
