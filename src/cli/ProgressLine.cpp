#include "cli/ProgressLine.h"

#include <cstdio>
#include <ostream>

namespace velora::cli {

namespace {

// Back to the start of the line and erase it.
constexpr const char* kEraseLine = "\r\033[K";

}  // namespace

std::string ProgressLine::amount(std::int64_t bytes) {
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string ProgressLine::text(const TransferProgress& progress, std::int64_t elapsedMs) {
    std::string line = progress.name + "  " + amount(progress.bytes);
    if (progress.size > 0) {
        line += " / " + amount(progress.size);
        line += "  " + std::to_string(progress.bytes * 100 / progress.size) + "%";
    }
    if (elapsedMs > 0) line += "  " + amount(progress.bytes * 1000 / elapsedMs) + "/s";
    return line;
}

void ProgressLine::update(const TransferProgress& progress) {
    const std::int64_t now = clock_.tickMs();
    const bool begun = progress.name != name_ || (progress.bytes == 0 && !progress.finished);
    if (begun) {
        name_ = progress.name;
        startMs_ = now;
    }
    if (shown_ && !begun && !progress.finished && now - drawnMs_ < kRedrawMs) return;
    terminal_ << kEraseLine << text(progress, now - startMs_);
    if (progress.finished) {
        terminal_ << '\n';
        shown_ = false;
        name_.clear();
    } else {
        shown_ = true;
    }
    drawnMs_ = now;
    terminal_ << std::flush;
}

void ProgressLine::clear() {
    if (!shown_) return;
    terminal_ << kEraseLine << std::flush;
    shown_ = false;
}

}  // namespace velora::cli
