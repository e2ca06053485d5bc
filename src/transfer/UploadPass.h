#pragma once
// The upload pass ("Versenden"): sends every active row that the latest preparation
// pass marked "NEU" over the already open FTP connection, one by one through the
// transfer copy "VELORA.tmp", marks each row "Send", "Error" or (a file still being
// written) "BUSY" and records the pass in the statistics and the transfer log.
#include <cstdint>
#include <optional>
#include <string>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "filetable/FileTable.h"
#include "ftp/FtpOperations.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "transfer/ResolvedSources.h"
#include "transfer/SettledSnapshot.h"

namespace velora {

class InputFile;

// What the pass reports to the run statistics.
class UploadStatistics {
public:
    virtual ~UploadStatistics() = default;
    // One file sent: the totals and today's weekday counters (the clock's weekday at
    // the moment of counting).
    virtual void countFile(std::int64_t bytes) = 0;
    // The duration of a finished pass; the longest one is kept (MaxUploadDuration).
    virtual void noteUploadDuration(std::int64_t elapsedMs) = 0;
    // One line of the transfer log; an IoError leaves it.
    // Returns what kept a full log from being moved aside (the line was written all
    // the same), empty when nothing did.
    virtual std::string AppendTransferLog(std::int32_t files, std::int64_t bytes, std::int64_t elapsedMs) = 0;
    virtual void UpdateStatusDisplay() = 0;
};

// How one store ended, and what it delivered.
struct SendFileResult {
    // StillChanging: the file was being written; nothing went out and the next run
    // sends it.
    enum class Outcome { Sent, Failed, StillChanging };
    Outcome outcome = Outcome::Failed;
    std::int64_t bytes = 0;   // sent and confirmed by the server
    bool sent() const { return outcome == Outcome::Sent; }
};

class UploadPass {
public:
    UploadPass(FileTable& files, FtpOperations& ftp, UploadStatistics& stats, TempFolder& temp,
               const ResolvedSources& sources, SettledSnapshots& snapshots, EventLog& log, Clock& clock,
               const Locale& locale);

    // Button "Versenden"; the whole pass.
    void B_versendenClick();
    // Copies `source` to the transfer copy and stores it as remoteName in the current
    // folder. Sent only when the copy and the store both succeeded; failures are logged
    // here and not passed on. The transfer copy is removed afterwards either way.
    // `prepared` is what the preparation pass measured of `source`; a file it did not
    // measure is held to the state it has when the copy starts.
    SendFileResult SendFile(const std::string& source, const std::string& remoteName,
                            const std::optional<SettledSnapshots::Prepared>& prepared = std::nullopt);
    // size / 1024 / seconds, as "0.00 KB/s" with the locale's decimal separator. A store
    // that took no measurable time is reported over 1 ms.
    std::string FormatTransferRate(std::int64_t elapsedMs, std::int64_t size) const;
    // The name a row is stored under: "FTP Name", or when that is empty the name of the
    // file the row was made from (never the transfer copy's name).
    std::string remoteNameOf(int row) const;

    // The wait before each row, in milliseconds.
    static constexpr int kRowPauseMs = 100;
    // From this size on, a file without a reflink is copied while it is sent instead
    // of before: there the copy would cost about as much as the store itself. Smaller
    // files (pictures, pages) keep the stricter order, snapshot in memory, check, send,
    // so a change while they are read never reaches the server at all.
    static constexpr std::int64_t kSendWhileCopyingFrom = 8 * 1024 * 1024;

private:
    bool isDue(int row) const;
    void sendRow(int row, std::int32_t& passFiles, std::int64_t& passBytes);
    SendFileResult stillChanging(const std::string& source);
    SendFileResult sendFromMemory(const std::string& source, const std::string& remoteName,
                                  const fileio::FileStatus& settled);
    SendFileResult sendWhileCopying(const std::string& source, const std::string& remoteName,
                                    const fileio::FileStatus& settled, const std::string& transferCopy);
    SendFileResult store(InputFile& file, const std::string& source, const std::string& remoteName);
    SendFileResult copyFailed(const std::string& source, int systemError);
    void writeSummary(std::int64_t elapsedMs, std::int32_t passFiles, std::int64_t passBytes);

    FileTable& files_;
    FtpOperations& ftp_;
    UploadStatistics& stats_;
    TempFolder& temp_;
    const ResolvedSources& sources_;
    SettledSnapshots& snapshots_;
    EventLog& log_;
    Clock& clock_;
    const Locale& locale_;
};

}  // namespace velora
