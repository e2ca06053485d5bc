#include "cli/StatusReport.h"

#include <filesystem>
#include <sstream>

#include "cli/AdminStore.h"
#include "cli/PlannedRuns.h"
#include "platform/Errors.h"
#include "schedule/CalendarStore.h"
#include "schedule/WeekCalendar.h"
#include "settings/SettingsStore.h"

namespace velora::cli {

namespace {

std::optional<std::int64_t> ageOf(const std::string& stamp, const DateTime& now) {
    const std::optional<DateTime> t = parseStamp(stamp);
    if (!t) return std::nullopt;
    const std::int64_t age = civilSeconds(now) - civilSeconds(*t);
    return age < 0 ? 0 : age;
}

void judge(StatusReport& r, const DateTime& now) {
    if (!r.error.empty()) {
        r.health = Health::Unknown;
        r.healthText = r.error;
        return;
    }
    if (r.daemon.state != DaemonProbe::Running) {
        r.health = Health::Critical;
        r.healthText = r.daemon.state == DaemonProbe::Stale
                           ? "daemon not running (it died: stale process id file of process " +
                                 std::to_string(r.daemon.pid) + ")"
                           : "daemon not running";
        return;
    }
    const std::string within = " within " + durationText(r.limitSeconds);
    if (!r.lastRun) {
        r.health = Health::Critical;
        r.healthText = "no run recorded yet";
        return;
    }
    int late = 0;
    bool anyFresh = false;
    std::string firstLate;
    for (const RowStatus& row : r.rows) {
        if (row.late) {
            if (late++ == 0) firstLate = row.row.source;
        } else {
            anyFresh = true;
        }
    }
    const std::optional<std::int64_t> runAge = ageOf(r.lastRun->finished, now);
    const bool runFresh = runAge && *runAge <= r.limitSeconds;
    if (r.rows.empty() ? !runFresh : !anyFresh) {
        r.health = Health::Critical;
        r.healthText = "no successful run" + within;
        return;
    }
    if (late > 0) {
        r.health = Health::Late;
        r.healthText = std::to_string(late) + " of " + std::to_string(r.rows.size()) + " active rows not stored" +
                       within + " (first: " + firstLate + ")";
        return;
    }
    r.health = Health::Ok;
    r.healthText = std::to_string(r.rows.size()) + " active rows stored" + within + ", daemon process " +
                   std::to_string(r.daemon.pid);
}

}  // namespace

std::optional<std::int64_t> parseDuration(const std::string& text) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    std::int64_t unit = 1;
    std::string digits = text;
    switch (text.back()) {
    case 's': unit = 1; digits.pop_back(); break;
    case 'm': unit = 60; digits.pop_back(); break;
    case 'h': unit = 3600; digits.pop_back(); break;
    case 'd': unit = 86400; digits.pop_back(); break;
    default: break;
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const std::int64_t n = std::stoll(digits);
    if (n == 0) return std::nullopt;
    return n * unit;
}

std::string durationText(std::int64_t seconds) {
    const std::int64_t d = seconds / 86400, h = seconds / 3600 % 24, m = seconds / 60 % 60, s = seconds % 60;
    std::ostringstream out;
    if (d) out << d << " d ";
    if (d || h) out << h << " h ";
    if (!d && (h || m)) out << m << " m ";
    if (!d && !h) out << s << " s ";
    std::string text = out.str();
    text.pop_back();
    return text;
}

StatusReport readStatus(const AdminServices& services, std::optional<std::int64_t> maxAgeSeconds) {
    StatusReport r;
    r.storePath = services.registryPath;
    r.settings = Settings::defaults(services.env);
    const DateTime now = services.clock.now();
    try {
        // Looking must not create a store.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(services.registryPath, ec))
            throw GeneralError("The settings store " + services.registryPath + " does not exist");
        Registry registry(services.registryPath);
        if (!registry.keyExists(kSettingsKey))
            throw GeneralError("The settings store " + services.registryPath + " holds no settings");
        std::ostringstream quiet;
        const AdminContext context{services.env, services.clock, services.locale, registry, quiet, quiet};
        StoredSettings stored = readStoredSettings(context);
        r.settings = stored.settings;
        r.counters = stored.counters;
        WeekCalendar calendar(r.counters);
        if (registry.keyExists(kCalendarKey)) {
            Registry::Key key = registry.openKeyReadOnly(kCalendarKey);
            CalendarStore::readDays(key, calendar);
        }
        r.fixedTimes = r.settings.rb_feste_zeiten && !r.settings.rb_intervall;
        r.lastRun = readRunRecord(registry);
        const std::int64_t idle =
            r.lastRun ? ageOf(r.lastRun->finished, now).value_or(0) : 0;
        r.nextRun = nextPlannedRun(r.settings, calendar, now, idle);
        r.limitGiven = maxAgeSeconds.has_value();
        r.limitSeconds = maxAgeSeconds ? *maxAgeSeconds
                                       : plannedSpan(r.settings, calendar, now, kLatePlannedRuns)
                                             .value_or(kUnplannedLimitSeconds);
        if (r.lastRun) {
            for (const RowRecord& row : r.lastRun->rows) {
                RowStatus s{row, ageOf(row.lastStored, now), false};
                s.late = !s.ageSeconds || *s.ageSeconds > r.limitSeconds;
                r.rows.push_back(std::move(s));
            }
        }
        r.daemon = probeDaemon(scratchFolder(context));
        if (r.daemon.state == DaemonProbe::Unknown) r.error = r.daemon.detail;
    } catch (const std::exception& e) {
        r.error = e.what();
    }
    judge(r, now);
    return r;
}

}  // namespace velora::cli
