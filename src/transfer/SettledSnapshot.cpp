#include "transfer/SettledSnapshot.h"

#include <algorithm>
#include <ctime>

namespace velora {

namespace {

constexpr std::int64_t kNsPerMs = 1000000;
constexpr std::int64_t kNsPerSecond = 1000000000;

std::int64_t lastWriteNs(const fileio::FileStatus& status) {
    return status.writeSeconds * kNsPerSecond + status.writeNanoseconds;
}

}  // namespace

std::optional<fileio::FileStatus> SystemFileFacts::statusOf(const std::string& path) const {
    return fileio::statusOf(path);
}

std::int64_t SystemFileFacts::nowNs() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

bool sameSnapshot(const fileio::FileStatus& a, const fileio::FileStatus& b) {
    return a.size == b.size && a.writeSeconds == b.writeSeconds && a.writeNanoseconds == b.writeNanoseconds &&
           a.device == b.device && a.inode == b.inode;
}

SettledSnapshots::SettledSnapshots(FileFacts& facts, Clock& clock, UiHost& ui, const Settings& settings)
    : facts_(facts), clock_(clock), ui_(ui), settings_(settings) {}

void SettledSnapshots::clear() { prepared_.clear(); }

std::optional<fileio::FileStatus> SettledSnapshots::measure(const std::string& path) {
    std::optional<fileio::FileStatus> status = facts_.statusOf(path);
    prepared_[path] = {false, status};
    return status;
}

void SettledSnapshots::recordOwnCopy(const std::string& copy) { prepared_[copy] = {true, std::nullopt}; }

std::optional<SettledSnapshots::Prepared> SettledSnapshots::preparedOf(const std::string& path) const {
    const auto it = prepared_.find(path);
    if (it == prepared_.end()) return std::nullopt;
    return it->second;
}

SettledSnapshots::Settling SettledSnapshots::awaitSettled(const std::string& path,
                                                          const std::optional<fileio::FileStatus>& expected) {
    using State = Settling::State;
    const std::optional<fileio::FileStatus> first = facts_.statusOf(path);
    if (!first) return {};
    if (expected && !sameSnapshot(*expected, *first)) return {State::Changing, *first};
    const std::int64_t settleMs = static_cast<std::int64_t>(settings_.se_ruhezeit.value()) * 1000;
    const std::int64_t ageMs = (facts_.nowNs() - lastWriteNs(*first)) / kNsPerMs;
    if (ageMs >= settleMs) return {State::Settled, *first};
    // Once, and never longer than the settle time: a stamp in the future (another
    // machine's clock, a camera's) must not hold the run for ever.
    waitLettingEventsRun(settleMs - std::max<std::int64_t>(ageMs, 0));
    const std::optional<fileio::FileStatus> later = facts_.statusOf(path);
    if (!later) return {};
    if (!sameSnapshot(*first, *later)) return {State::Changing, *later};
    return {State::Settled, *later};
}

bool SettledSnapshots::unchanged(const std::string& path, const fileio::FileStatus& settled) const {
    const std::optional<fileio::FileStatus> now = facts_.statusOf(path);
    return now && sameSnapshot(*now, settled);
}

std::string SettledSnapshots::stillChangingLine(const std::string& path) {
    return "Datei ändert sich noch, nicht gesendet -> " + path;
}

// In slices, with the events let run after each: the window stays usable, and the
// daemon sees a stop and ticks its seconds.
// The number of slices is bounded too, whatever the clock does meanwhile.
void SettledSnapshots::waitLettingEventsRun(std::int64_t ms) {
    const std::int64_t end = clock_.tickMs() + ms;
    const std::int64_t slices = ms / kWaitSliceMs + 1;
    for (std::int64_t i = 0; i < slices; ++i) {
        const std::int64_t left = end - clock_.tickMs();
        if (left <= 0) return;
        clock_.sleepMs(static_cast<int>(std::min<std::int64_t>(left, kWaitSliceMs)));
        ui_.pumpEvents();
    }
}

}  // namespace velora
