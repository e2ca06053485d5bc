#include "transfer/UploadPass.h"

#include <exception>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/InputFile.h"
#include "platform/Paths.h"

namespace velora {

namespace {

const std::string kDashes(58, '-');

}  // namespace

UploadPass::UploadPass(FileTable& files, FtpOperations& ftp, UploadStatistics& stats, TempFolder& temp,
                       const ResolvedSources& sources, SettledSnapshots& snapshots, EventLog& log, Clock& clock,
                       const Locale& locale)
    : files_(files), ftp_(ftp), stats_(stats), temp_(temp), sources_(sources), snapshots_(snapshots), log_(log),
      clock_(clock), locale_(locale) {}

bool UploadPass::isDue(int row) const {
    return runsAsJa(files_.cell(Aktiv, row)) && files_.cell(Msg, row) == msg::kNeu;
}

void UploadPass::B_versendenClick() {
    // The monotonic tick: a pass across midnight or a change of the clocks still
    // lasts as long as it really did.
    const std::int64_t start = clock_.tickMs();
    std::int32_t passFiles = 0;
    std::int64_t passBytes = 0;
    // The row count is read anew each time: rows may vanish while events run.
    for (int row = 1; row <= files_.rowCount(); ++row) {
        if (!isDue(row)) continue;
        // Told to end: the row sent last was the last of this pass.
        if (ftp_.endRequested()) break;
        stats_.UpdateStatusDisplay();
        clock_.sleepMs(kRowPauseMs);
        sendRow(row, passFiles, passBytes);
    }
    const std::int64_t elapsed = clock_.tickMs() - start;
    stats_.noteUploadDuration(elapsed);
    writeSummary(elapsed, passFiles, passBytes);
    const std::string rotateFailure = stats_.AppendTransferLog(passFiles, passBytes, elapsed);
    if (!rotateFailure.empty()) log_.write(rotateFailure);
}

std::string UploadPass::remoteNameOf(int row) const {
    const std::string name = files_.cell(FtpName, row);
    if (!name.empty()) return name;
    return paths::fileNamePart(sources_.sourceOf(files_.cell(TmpQuelle, row)));
}

void UploadPass::sendRow(int row, std::int32_t& passFiles, std::int64_t& passBytes) {
    log_.write(kDashes + " Transfer Datei");
    log_.write("Zeile : " + std::to_string(row) + " ist NEU");
    const std::string name = remoteNameOf(row);
    const std::string folder = files_.cell(FtpPfad, row);
    log_.write("--- ChangeDir FTP ---> " + folder);
    try {
        ftp_.ChangeDir(folder);
        log_.write("OK --> ChangeDir " + folder);
        const std::string source = files_.cell(TmpQuelle, row);
        // The fingerprint of what the preparation pass left for this upload; a pass
        // nested inside the store may write a newer one that was not sent.
        const std::string sentChecksum = files_.cell(PsNeu, row);
        const SendFileResult result = SendFile(source, name, snapshots_.preparedOf(source));
        if (!result.sent()) {
            // Keeping "PS alt" makes the next run find the row changed and retry it.
            const bool changing = result.outcome == SendFileResult::Outcome::StillChanging;
            files_.setCell(Msg, row, changing ? msg::kBusy : msg::kError);
            return;
        }
        // What reached the server, not what a status query said beforehand: a file of
        // the proc file system reports no size, and a growing one more than it had.
        stats_.countFile(result.bytes);
        ++passFiles;
        passBytes += result.bytes;
        files_.setCell(Msg, row, msg::kSend);
        files_.setCell(PsAlt, row, sentChecksum);
    } catch (const SocketError& e) {
        files_.setCell(Msg, row, msg::kError);
        log_.write(std::string("ERROR -> EIdSocketError: ") + e.what());
    } catch (const std::exception&) {
        files_.setCell(Msg, row, msg::kError);
        log_.write("ERROR -> ChangeDir " + folder);
    }
}

namespace {

// Removes the transfer copy however the store ends: a partial copy left on a full disk
// would make every later copy fail.
class TransferCopyGuard {
public:
    explicit TransferCopyGuard(std::string path) : path_(std::move(path)) {}
    ~TransferCopyGuard() { fileio::removeFile(path_); }
    TransferCopyGuard(const TransferCopyGuard&) = delete;
    TransferCopyGuard& operator=(const TransferCopyGuard&) = delete;

private:
    std::string path_;
};

}  // namespace

SendFileResult UploadPass::SendFile(const std::string& source, const std::string& remoteName,
                                    const std::optional<SettledSnapshots::Prepared>& prepared) {
    log_.write("Procedure --> SENDE FTP ");
    log_.write("Quelle " + source);
    log_.write("Ziel " + remoteName);
    if (remoteName.empty()) {
        // Stored under the local file's own name, two such rows would overwrite each
        // other as "VELORA.tmp" on the server.
        log_.write("FTP_PUT_SENDE ERROR: kein Name für die Datei auf dem Server");
        return {};
    }
    if (!temp_.ensure()) {
        log_.write("FTP_PUT_SENDE ERROR: Temp-Ordner " + temp_.path() + " nicht nutzbar");
        return {};
    }
    // A tag copy is the program's own, written whole from a settled text.
    const bool ownCopy = prepared && prepared->ownCopy;
    SettledSnapshots::Settling settling;
    if (!ownCopy) {
        settling = snapshots_.awaitSettled(source, prepared ? prepared->status : std::nullopt);
        if (settling.state == SettledSnapshots::Settling::State::Changing) return stillChanging(source);
    }
    const bool settled = settling.state == SettledSnapshots::Settling::State::Settled;
    // A smaller file is read whole into memory and checked there: its snapshot costs
    // neither a file created and removed nor a second read. A file that reports no
    // length (the proc file system's) may still hold bytes, so it takes the copy.
    if (!ownCopy && settled && settling.status.size > 0 && settling.status.size < kSendWhileCopyingFrom)
        return sendFromMemory(source, remoteName, settling.status);
    const std::string transferCopy = temp_.transferCopyPath();
    TransferCopyGuard removeAfterwards(transferCopy);
    bool copied = false;
    if (!ownCopy && settled && settling.status.size >= kSendWhileCopyingFrom) {
        // A reflink is a snapshot at no cost; without one, copying first would read
        // and write the whole file once more before the first byte goes out.
        if (fileio::cloneReplacing(source, transferCopy) != 0)
            return sendWhileCopying(source, remoteName, settling.status, transferCopy);
        copied = true;
    }
    // Without a fresh copy the transfer copy would hold nothing or an earlier row's
    // file; storing that would put other content under this row's name.
    if (const int failure = copied ? 0 : fileio::copyReplacing(source, transferCopy); failure != 0)
        return copyFailed(source, failure);
    // Written to while it was copied (or appeared only then): the copy may be cut short.
    if (!ownCopy && (!settled || !snapshots_.unchanged(source, settling.status))) return stillChanging(source);
    InputFile copy(transferCopy);
    return store(copy, source, remoteName);
}

SendFileResult UploadPass::sendFromMemory(const std::string& source, const std::string& remoteName,
                                          const fileio::FileStatus& settled) {
    InputFile file(source);
    if (!file.isOpen()) return copyFailed(source, file.errorNumber());
    if (!file.holdTo(settled)) return stillChanging(source);
    if (!file.takeIntoMemory())
        return file.changed() ? stillChanging(source) : copyFailed(source, file.errorNumber());
    // Asked once more by name, as after a copy on disk: what was read is what settled.
    if (!snapshots_.unchanged(source, settled)) return stillChanging(source);
    return store(file, source, remoteName);
}

// The source is read once: each block goes into the transfer copy and to the server,
// and the store breaks off (as a broken one does, so the server never takes the file
// as whole) the moment the file is no longer the settled snapshot.
SendFileResult UploadPass::sendWhileCopying(const std::string& source, const std::string& remoteName,
                                            const fileio::FileStatus& settled, const std::string& transferCopy) {
    InputFile file(source);
    if (!file.isOpen()) return copyFailed(source, file.errorNumber());
    if (!file.holdTo(settled)) return stillChanging(source);
    if (const int failure = file.copyInto(transferCopy); failure != 0) return copyFailed(source, failure);
    return store(file, source, remoteName);
}

SendFileResult UploadPass::store(InputFile& file, const std::string& source, const std::string& remoteName) {
    const std::int64_t startTick = clock_.tickMs();
    std::int64_t bytes = 0;
    try {
        bytes = ftp_.Put(file, remoteName);
    } catch (const SocketError& e) {
        if (file.changed()) return stillChanging(source);
        log_.write(std::string("FTP_PUT_SENDE ERROR: EIdSocketError: ") + e.what());
        return {};
    } catch (const std::exception& e) {
        if (file.changed()) return stillChanging(source);
        if (file.copyFailure() != 0) return copyFailed(source, file.copyFailure());
        log_.write(std::string("FTP_PUT_SENDE ERROR: Exception: ") + e.what());
        return {};
    }
    log_.write("OK --> Senden der Datei. " + FormatTransferRate(clock_.tickMs() - startTick, bytes));
    return {SendFileResult::Outcome::Sent, bytes};
}

SendFileResult UploadPass::copyFailed(const std::string& source, int systemError) {
    log_.write("FTP_PUT_SENDE ERROR: Kopie nach VELORA.tmp fehlgeschlagen: " + source + " : " +
               IoError::textFor(systemError));
    return {};
}

SendFileResult UploadPass::stillChanging(const std::string& source) {
    log_.write(SettledSnapshots::stillChangingLine(source));
    return {SendFileResult::Outcome::StillChanging, 0};
}

std::string UploadPass::FormatTransferRate(std::int64_t elapsedMs, std::int64_t size) const {
    // A store quicker than the clock can see took at most a millisecond: the rate over
    // 1 ms is the honest lower bound, where 0 would claim nothing moved.
    const double seconds = static_cast<double>(elapsedMs <= 0 ? 1 : elapsedMs) / 1000.0;
    const double kilobytes = static_cast<double>(size < 0 ? 0 : size) / 1024.0;
    return locale_.fixed2(kilobytes / seconds) + " KB/s";
}

void UploadPass::writeSummary(std::int64_t elapsedMs, std::int32_t passFiles, std::int64_t passBytes) {
    log_.write(kDashes + " Transfer Ende");
    log_.write("akt.dauer  -> " + Locale::durationAsTime(elapsedMs));
    log_.write("akt.anzahl -> " + std::to_string(passFiles));
    log_.write("akt.Bytes  -> " + std::to_string(passBytes));
}

}  // namespace velora
