// The machine description behind the two read-only system keys of the registry.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/utsname.h>

#include "platform/SystemInfo.h"

namespace velora {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// os-release values follow shell quoting: "..." with backslash escapes, '...' taken
// literally, or a bare word.
std::string unquote(const std::string& raw) {
    const std::string value = trim(raw);
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return value.substr(1, value.size() - 2);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string out;
        for (std::size_t i = 1; i + 1 < value.size(); ++i) {
            if (value[i] == '\\' && i + 2 < value.size()) ++i;
            out += value[i];
        }
        return out;
    }
    return value;
}

std::map<std::string, std::string> parseOsRelease(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string clean = trim(line);
        if (clean.empty() || clean.front() == '#') continue;
        const auto eq = clean.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        fields[trim(clean.substr(0, eq))] = unquote(clean.substr(eq + 1));
    }
    return fields;
}

// The fields of the first processor block of /proc/cpuinfo ("name<TAB>: value").
std::map<std::string, std::string> parseFirstCpu(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(text);
    std::string line;
    bool seenProcessor = false;
    while (std::getline(lines, line)) {
        if (trim(line).empty()) {
            if (seenProcessor) break;
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = trim(line.substr(0, colon));
        if (name == "processor") {
            if (seenProcessor) break;
            seenProcessor = true;
        }
        fields.emplace(name, trim(line.substr(colon + 1)));
    }
    return fields;
}

std::optional<std::int32_t> parseMegahertz(const std::string& text) {
    if (text.empty()) return std::nullopt;
    // from_chars ignores the process locale: cpuinfo always writes a '.'.
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() || !std::isfinite(value) || value < 0 ||
        value > 2147483647.0)
        return std::nullopt;
    return static_cast<std::int32_t>(std::lround(value));
}

std::string readText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void putText(std::map<std::string, std::string>& values, const std::string& name,
             const std::string& value) {
    if (!value.empty()) values[name] = value;
}

}  // namespace

SystemInfo SystemInfo::fromTexts(const std::string& osRelease, const std::string& kernelRelease,
                                 const std::string& cpuInfo) {
    SystemInfo info;
    const auto os = parseOsRelease(osRelease);
    auto& osValues = info.texts[kOsKey];
    const auto field = [](const std::map<std::string, std::string>& from, const char* name) {
        const auto it = from.find(name);
        return it == from.end() ? std::string() : it->second;
    };
    putText(osValues, "ProductName", field(os, "PRETTY_NAME"));
    putText(osValues, "CurrentVersion", field(os, "VERSION_ID"));
    putText(osValues, "CurrentBuildNumber", trim(kernelRelease));

    const auto cpu = parseFirstCpu(cpuInfo);
    auto& cpuValues = info.texts[kCpuKey];
    putText(cpuValues, "ProcessorNameString", field(cpu, "model name"));
    putText(cpuValues, "VendorIdentifier", field(cpu, "vendor_id"));
    const std::string family = field(cpu, "cpu family");
    const std::string model = field(cpu, "model");
    const std::string stepping = field(cpu, "stepping");
    if (!family.empty() && !model.empty() && !stepping.empty())
        cpuValues["Identifier"] = "family " + family + " model " + model + " stepping " + stepping;
    if (const auto mhz = parseMegahertz(field(cpu, "cpu MHz")))
        info.integers[kCpuKey]["~MHz"] = *mhz;
    return info;
}

SystemInfo SystemInfo::fromSystem() {
    std::string osRelease = readText("/etc/os-release");
    if (osRelease.empty()) osRelease = readText("/usr/lib/os-release");
    utsname names{};
    const std::string kernel = uname(&names) == 0 ? names.release : "";
    SystemInfo info = fromTexts(osRelease, kernel, readText("/proc/cpuinfo"));
    // Some processors (most ARM boards, some virtual machines) give no "cpu MHz"; the
    // frequency driver still knows the top speed, in kHz.
    auto& integers = info.integers[kCpuKey];
    if (integers.find("~MHz") == integers.end()) {
        if (const auto khz = parseMegahertz(
                trim(readText("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"))))
            integers["~MHz"] = static_cast<std::int32_t>((*khz + 500) / 1000);
    }
    return info;
}

}  // namespace velora
