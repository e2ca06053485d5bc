#pragma once
// The machine keys of a registry file for tests that build tags or whole runs: a fixed
// Linux system and processor, so no result depends on the machine the tests run on.
#include "platform/Registry.h"

namespace velora::test {

inline SystemInfo sampleSystemInfo() {
    SystemInfo info;
    info.texts[kOsKey] = {{"ProductName", "Debian GNU/Linux 12 (bookworm)"},
                          {"CurrentVersion", "12"},
                          {"CurrentType", "Multiprocessor Free"},
                          {"CurrentBuildNumber", "6.1.0-18-amd64"}};  // no CSDVersion
    info.texts[kCpuKey] = {{"ProcessorNameString", "Intel(R) Xeon(R) CPU @ 2.20GHz"},
                           {"Identifier", "family 6 model 79 stepping 0"},
                           {"VendorIdentifier", "GenuineIntel"}};
    info.integers[kCpuKey] = {{"~MHz", 2200}};
    return info;
}

}  // namespace velora::test
