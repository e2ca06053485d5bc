#include "transfer/UploadPass.h"

#include <exception>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "transfer/Checksums.h"

namespace velora {

namespace {

constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;
const std::string kDashes(58, '-');

// The counters are signed 32-bit values that wrap like the program's integers do.
std::int32_t add32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace

std::int64_t elapsedSinceTimeOfDay(const DateTime& start, const DateTime& end) {
    const std::int64_t elapsed = end.msOfDay() - start.msOfDay();
    return elapsed < 0 ? elapsed + kMsPerDay : elapsed;
}

UploadPass::UploadPass(FileTable& files, FtpOperations& ftp, UploadStatistics& stats, TempFolder& temp,
                       EventLog& log, Clock& clock, const Locale& locale)
    : files_(files), ftp_(ftp), stats_(stats), temp_(temp), log_(log), clock_(clock), locale_(locale) {}

bool UploadPass::isDue(int row) const {
    return runsAsJa(files_.cell(Aktiv, row)) && files_.cell(Msg, row) == "NEU";
}

void UploadPass::B_versendenClick() {
    const DateTime start = clock_.now();
    std::int32_t passFiles = 0;
    std::int32_t passBytes = 0;
    // The row count is read anew each time: rows may vanish while events run.
    for (int row = 1; row <= files_.rowCount(); ++row) {
        if (!isDue(row)) continue;
        stats_.UpdateStatusDisplay();
        clock_.sleepMs(kRowPauseMs);
        sendRow(row, passFiles, passBytes);
    }
    const std::int64_t elapsed = elapsedSinceTimeOfDay(start, clock_.now());
    stats_.noteUploadDuration(elapsed);
    writeSummary(elapsed, passFiles, passBytes);
    stats_.AppendTransferLog(passFiles, passBytes, elapsed);
}

void UploadPass::sendRow(int row, std::int32_t& passFiles, std::int32_t& passBytes) {
    log_.write(kDashes + " Transfer Datei");
    log_.write("Zeile : " + std::to_string(row) + " ist NEU");
    const std::string name = files_.cell(FtpName, row);
    const std::string folder = files_.cell(FtpPfad, row);
    log_.write("--- ChangeDir FTP ---> " + folder);
    try {
        ftp_.ChangeDir(folder);
        log_.write("OK --> ChangeDir " + folder);
        const std::string source = files_.cell(TmpQuelle, row);
        // The fingerprint of what the preparation pass left for this upload; a pass
        // nested inside the store may write a newer one that was not sent.
        const std::string sentChecksum = files_.cell(PsNeu, row);
        const std::int32_t size = QueryFileSize(source);
        if (!SendFile(source, name)) {
            // Keeping "PS alt" makes the next run find the row changed and retry it.
            files_.setCell(Msg, row, "Error");
            return;
        }
        const std::int32_t counted = size < 0 ? 0 : size;
        stats_.countFile(counted);
        passFiles = add32(passFiles, 1);
        passBytes = add32(passBytes, counted);
        files_.setCell(Msg, row, "Send");
        files_.setCell(PsAlt, row, sentChecksum);
    } catch (const SocketError& e) {
        files_.setCell(Msg, row, "Error");
        log_.write(std::string("ERROR -> EIdSocketError: ") + e.what());
    } catch (const std::exception&) {
        files_.setCell(Msg, row, "Error");
        log_.write("ERROR -> ChangeDir " + folder);
    }
}

bool UploadPass::SendFile(const std::string& source, const std::string& remoteName) {
    log_.write("Procedure --> SENDE FTP ");
    log_.write("Quelle " + source);
    log_.write("Ziel " + remoteName);
    const std::string transferCopy = temp_.transferCopyPath();
    // The transfer copy still holds the previous row's file when this copy fails;
    // storing it would put another file's content under this row's name.
    if (!fileio::copyFile(source, transferCopy)) {
        log_.write("FTP_PUT_SENDE ERROR: Kopie nach VELORA.tmp fehlgeschlagen: " + source);
        return false;
    }
    const std::int64_t startTick = clock_.tickMs();
    const std::int32_t size = QueryFileSize(transferCopy);
    try {
        ftp_.Put(transferCopy, remoteName);
    } catch (const SocketError& e) {
        log_.write(std::string("FTP_PUT_SENDE ERROR: EIdSocketError: ") + e.what());
        return false;
    } catch (const std::exception& e) {
        log_.write(std::string("FTP_PUT_SENDE ERROR: Exception: ") + e.what());
        return false;
    }
    // The monotonic tick is not fooled by a clock set back or by midnight.
    log_.write("OK --> Senden der Datei. " + rateText(clock_.tickMs() - startTick, size));
    return true;
}

std::string UploadPass::FormatTransferRate(const DateTime& start, std::int32_t size) const {
    return rateText(elapsedSinceTimeOfDay(start, clock_.now()), size);
}

std::string UploadPass::rateText(std::int64_t elapsedMs, std::int32_t size) const {
    // A store quicker than the clock can see took at most a millisecond: the rate over
    // 1 ms is the honest lower bound, where 0 would claim nothing moved.
    const double seconds = static_cast<double>(elapsedMs <= 0 ? 1 : elapsedMs) / 1000.0;
    const double kilobytes = static_cast<double>(size < 0 ? 0 : size) / 1024.0;
    return locale_.fixed2(kilobytes / seconds) + " KB/s";
}

void UploadPass::writeSummary(std::int64_t elapsedMs, std::int32_t passFiles, std::int32_t passBytes) {
    log_.write(kDashes + " Transfer Ende");
    log_.write("akt.dauer  -> " + locale_.durationAsTime(elapsedMs));
    log_.write("akt.anzahl -> " + std::to_string(passFiles));
    log_.write("akt.Bytes  -> " + std::to_string(passBytes));
}

}  // namespace velora
