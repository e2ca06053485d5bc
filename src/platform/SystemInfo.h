#pragma once
// What the registry answers for the two read-only keys that describe the machine, read
// from the system once at start (or given by a test).
#include <cstdint>
#include <map>
#include <string>

namespace velora {

// Values of the two machine-description keys, by key path and value name.
struct SystemInfo {
    // key path (as the program names it) -> value name -> value
    std::map<std::string, std::map<std::string, std::string>> texts;
    std::map<std::string, std::map<std::string, std::int32_t>> integers;

    // Read from /etc/os-release, uname and /proc/cpuinfo:
    //   CurrentVersion key:  ProductName = PRETTY_NAME, CurrentVersion = VERSION_ID,
    //                        CurrentBuildNumber = kernel release
    //   CentralProcessor\0:  ProcessorNameString = model name, ~MHz = cpu MHz (integer),
    //                        Identifier = "family F model M stepping S",
    //                        VendorIdentifier = vendor_id
    // Whatever cannot be found is left out (reads then give an empty text).
    static SystemInfo fromSystem();
    // The same from the texts of those sources (os-release file, kernel release,
    // cpuinfo file), so the parsing can be checked against sample texts.
    static SystemInfo fromTexts(const std::string& osRelease, const std::string& kernelRelease,
                                const std::string& cpuInfo);
};

inline constexpr const char* kOsKey = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr const char* kCpuKey = "\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

}  // namespace velora
