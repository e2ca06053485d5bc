#pragma once
// Folder listings with the attribute bits and last-write times the transfer rules use.
#include <cstdint>
#include <string>
#include <vector>

namespace velora {

namespace attr {
inline constexpr std::uint32_t ReadOnly = 0x01;   // no write permission
inline constexpr std::uint32_t Hidden = 0x02;     // name starts with "."
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Volume = 0x08;
inline constexpr std::uint32_t Directory = 0x10;  // folders, "." and ".."
inline constexpr std::uint32_t Archive = 0x20;    // every regular file
inline constexpr std::uint32_t Device = 0x40;     // fifos, sockets, devices: outside 0x3F
}  // namespace attr

struct DirEntry {
    std::string name;
    std::uint32_t attributes = 0;
    // Last write, UTC nanoseconds since 1970: real instants, so the hour the clocks go
    // back and two writes within one second still compare the right way round.
    std::int64_t writeTimeNs = 0;
    // The entry itself is a symbolic link; the other fields describe what it names.
    bool isLink = false;
};

// Matches a name against a pattern of "*" and "?" (case-sensitive); "*.*" matches every
// name, as on the original platform.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// Every entry of the folder part of `pattern` whose name matches its last component,
// in the order the folder lists them, "." and ".." included when they match. One
// directory read and one stat per entry. A missing or unreadable folder gives an empty
// list.
std::vector<DirEntry> listMatching(const std::string& pattern);
// The same for the folder open in `folderFd` (which stays open) and a name pattern.
std::vector<DirEntry> listMatchingIn(int folderFd, const std::string& namePattern);

}  // namespace velora
