#pragma once
// Folder listings with the attribute bits and DOS time stamps the transfer rules use.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"

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

// A local time packed as a DOS date-time: date in the high 16 bits, time in the low
// 16 bits, seconds in 2-second steps. Compared as signed 32-bit numbers.
std::int32_t packDosDateTime(const DateTime& local);
// The parts as the DOS format keeps them (second cut down to an even number, ms 0).
DateTime toDosResolution(const DateTime& local);

struct DirEntry {
    std::string name;
    std::uint32_t attributes = 0;
    std::int32_t dosTime = 0;
};

// Last-write time of an entry in local time; nullopt when it cannot be read.
std::optional<DateTime> lastWriteLocal(const std::string& path);

// Matches a name against a pattern of "*" and "?" (case-sensitive); "*.*" matches every
// name, as on the original platform.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// Every entry of the folder part of `pattern` whose name matches its last component,
// in the order the folder lists them, "." and ".." included when they match. One
// directory read and one stat per entry. A missing or unreadable folder gives an empty
// list.
std::vector<DirEntry> listMatching(const std::string& pattern);

}  // namespace velora
