#include "schedule/RunStatistics.h"

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/Paths.h"

namespace velora {

namespace {

// The counters are signed 32-bit values that wrap like the program's integers do.
std::int32_t add32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::uint32_t asUnsigned(std::int32_t v) { return static_cast<std::uint32_t>(v); }

}  // namespace

RunStatistics::RunStatistics(RunCounters& counters, StatusDisplay& status, const StatusSources& sources,
                             const Settings& settings, const Environment& env, const Clock& clock, const Locale& locale,
                             UiHost& ui, SettingsStore& store)
    : counters_(counters),
      status_(status),
      sources_(sources),
      settings_(settings),
      env_(env),
      clock_(clock),
      locale_(locale),
      ui_(ui),
      store_(store) {}

void RunStatistics::countFile(std::int64_t size) {
    const auto bytes = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(size)));
    const int weekday = clock_.now().weekday;
    counters_.Send_Files_ges = add32(counters_.Send_Files_ges, 1);
    counters_.Send_Bytes_ges += static_cast<std::uint64_t>(size);
    if (weekday >= 1 && weekday <= 7) {
        const auto d = static_cast<std::size_t>(weekday);
        counters_.filesPerWeekday[d] = add32(counters_.filesPerWeekday[d], 1);
        counters_.bytesPerWeekday[d] = add32(counters_.bytesPerWeekday[d], bytes);
    }
}

void RunStatistics::noteUploadDuration(std::int64_t elapsedMs) {
    if (elapsedMs > maxUploadDuration_) maxUploadDuration_ = elapsedMs;
}

std::string RunStatistics::transferLogLine(std::int32_t files, std::int64_t bytes, std::int64_t elapsedMs) const {
    const DateTime now = clock_.now();
    return locale_.shortDate(now) + ";" + locale_.longTime(now) + ";" + Locale::durationAsTime(elapsedMs) + ";" +
           std::to_string(files) + ";" + std::to_string(bytes) + ";\r\n";
}

std::string RunStatistics::AppendTransferLog(std::int32_t files, std::int64_t bytes, std::int64_t elapsedMs) {
    const std::string file = paths::resolveIn(env_.homeFolder(), settings_.e_Transfer_Log);
    const int rotateFailure =
        fileio::appendToLog(file, std::string(kTransferLogHeader) + "\r\n", transferLogLine(files, bytes, elapsedMs),
                            env_.userId(), logRotateBytes(settings_));
    if (rotateFailure == 0) return {};
    return "Transfer Log " + file + " kann nicht rotiert werden: " + IoError::textFor(rotateFailure);
}

void RunStatistics::UpdateStatusDisplay() {
    const bool working = sources_.inWork();
    const bool online = sources_.ftpOpen();
    auto& p = status_.panels;
    p[0] = settings_.cb_activ ? "Timer ON" : "Timer OFF";
    p[1] = working ? "Work" : "";
    p[2] = online ? "Online" : "Offline";
    status_.buttonPanel = online ? PanelColour::Lime : PanelColour::ButtonFace;
    if (settings_.rb_intervall) {
        p[3] = "Soll : " + std::to_string(settings_.se_interval.value());
        p[4] = "Ist : " + std::to_string(sources_.intervalCounter());
    } else {
        p[3].clear();
        p[4].clear();
    }
    p[7] = "Dat.ges. = " + std::to_string(asUnsigned(counters_.Send_Files_ges));
    p[8] = "ges. =  " + locale_.withThousands(counters_.Send_Bytes_ges / 1024) + " KB";
    status_.progress = working ? ProgressColour::Yellow
                       : settings_.cb_activ ? ProgressColour::Lime
                                            : ProgressColour::Red;
    status_.l_zeit_start_alt = sources_.lastFixedStart();
    status_.l_dauer_max = Locale::durationAsTime(maxUploadDuration_);
    status_.changed();
    ui_.pumpEvents();
}

void RunStatistics::SaveRunCounters() { store_.SaveRunCounters(); }

void RunStatistics::b_dauer_max_clrClick() {
    maxUploadDuration_ = 0;
    UpdateStatusDisplay();
}

}  // namespace velora
