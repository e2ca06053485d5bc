#include "transfer/PreparationPass.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/DirListing.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/PathTrust.h"
#include "platform/Paths.h"
#include "transfer/Checksums.h"
#include "transfer/detail/TagReplacer.h"

namespace velora {

namespace {

// Attribute bits a pattern may pick; anything else (devices, fifos, sockets) is skipped.
constexpr std::uint32_t kPickableAttributes = 0x3F;

// A pattern picks files only: a folder ("." and ".." included) is never what a camera
// script means by its newest picture, and picking one would leave the row "NF".
bool isPickable(std::uint32_t attributes) {
    return (attributes & ~kPickableAttributes) == 0 && (attributes & attr::Directory) == 0;
}

}  // namespace

PreparationPass::PreparationPass(FileTable& files, TagTable& tags, TagBuilder& builder, TextView& M_temp,
                                 TempFolder& temp, ResolvedSources& sources, SettledSnapshots& snapshots,
                                 EventLog& log, UiHost& ui)
    : files_(files), tags_(tags), builder_(builder), mTemp_(M_temp), temp_(temp), sources_(sources),
      snapshots_(snapshots), log_(log), ui_(ui) {}

PreparationPass::~PreparationPass() = default;

void PreparationPass::run() {
    log_.write("Einlesen");
    builder_.BuildTagTable();
    replacer_.reset();
    const bool tagFileFailed = builder_.tagFileFailed();
    sources_.clear();
    snapshots_.clear();
    countCopyUsers();
    mTemp_.clear();
    // The count is fixed here: rows added by a command run between two rows wait for
    // the next pass, rows removed read as empty and are skipped.
    const int n = files_.rowCount();
    for (int r = 1; r <= n; ++r) {
        ui_.pumpEvents();
        files_.setCell(PsNeu, r, msg::kUnchecked);
        files_.setCell(Msg, r, msg::kUnchecked);
        prepareRow(r, tagFileFailed);
    }
}

void PreparationPass::prepareRow(int r, bool tagFileFailed) {
    if (!runsAsJa(files_.cell(Aktiv, r))) return;
    const std::string source = files_.cell(Quelle, r);
    if (source.empty()) return;
    if (tagFileFailed && runsAsJa(files_.cell(Tag, r))) {
        // Sent now, the page would show its placeholders; the server keeps the last
        // good one and the next run tries again ("PS alt" stays).
        log_.write("Zeile " + std::to_string(r) + " : ohne Tag Datei nicht gesendet -> " + source);
        files_.setCell(Msg, r, msg::kError);
        return;
    }
    std::string path = ResolveSourceTag(source, r);
    const bool pattern = paths::hasWildcard(path);
    path = PickNewestFile(path, r);
    // A pattern has passed over the links it may not follow already.
    if (!pattern && refusedThroughLink(path, r)) return;
    if (fileio::isRegularFile(path)) {
        ReplaceTagsInFile(path, r);
        ChecksumSourceFile(path, r);
    } else {
        files_.setCell(Msg, r, msg::kNotFound);
    }
}

// Another account that can write a folder on the way could have planted the link, to
// have us read and upload a file only we may read.
bool PreparationPass::refusedThroughLink(const std::string& path, int r) {
    const auto foreign = pathtrust::foreignLinkOn(path, pathtrust::processUser());
    if (!foreign) return false;
    files_.setCell(Msg, r, msg::kNotFound);
    log_.write("Quelle abgelehnt -> " + path + " : " + pathtrust::describe(*foreign));
    return true;
}

void PreparationPass::markIoError(int r, const std::string& path, const std::string& why) {
    log_.write("IORESULT <> 0 -> " + path + (why.empty() ? std::string() : " : " + why));
    files_.setCell(PsNeu, r, msg::kUnchecked);
    files_.setCell(Msg, r, msg::kIoError);
}

// "PS alt" stays, so the next run finds the row changed and sends the file whole.
void PreparationPass::markStillChanging(int r, const std::string& path) {
    log_.write(SettledSnapshots::stillChangingLine(path));
    files_.setCell(PsNeu, r, msg::kUnchecked);
    files_.setCell(Msg, r, msg::kBusy);
}

std::string PreparationPass::ResolveSourceTag(const std::string& source, int r) {
    std::string path = source;
    if (source.empty() || source.front() != '[') return path;
    files_.setCell(TmpQuelle, r, "");
    for (const TagRow& tag : tags_.rows()) {
        if (tag.name == source) {
            path = tag.value;
            files_.setCell(TmpQuelle, r, tag.value);
        }
    }
    return path;
}

std::string PreparationPass::PickNewestFile(const std::string& path, int r) {
    std::string result = path;
    if (!paths::hasWildcard(path)) return result;
    const unsigned uid = pathtrust::processUser();
    // Listed through the folder that was checked, not its name again.
    const pathtrust::OpenedFolder folder = pathtrust::openFolder(paths::folderPartWithSlash(path), uid);
    std::vector<std::string> names;
    std::optional<std::int64_t> newest;
    std::string passedOver;
    int passedOverCount = 0;
    std::vector<DirEntry> entries;
    if (folder.folder.valid()) entries = listMatchingIn(folder.folder.get(), paths::fileNamePart(path));
    for (DirEntry& entry : entries) {
        if (!isPickable(entry.attributes)) continue;
        if (entry.isLink) {
            if (const auto foreign = pathtrust::foreignLinkBelow(folder, entry.name, uid)) {
                if (passedOverCount++ == 0) passedOver = pathtrust::describe(*foreign);
                continue;
            }
        }
        // Strictly later: on equal times the entry listed first stays.
        if (!newest || entry.writeTimeNs > *newest) {
            newest = entry.writeTimeNs;
            result = folder.path + entry.name;
        }
        names.push_back(std::move(entry.name));
    }
    // One update for the whole list: a folder of thousands of files must not repaint
    // the view once per name.
    mTemp_.setLines(std::move(names));
    files_.setCell(TmpQuelle, r, result);
    if (folder.foreign) log_.write("Quelle abgelehnt -> " + path + " : " + pathtrust::describe(*folder.foreign));
    if (passedOverCount > 0)
        log_.write("Muster übergeht " + std::to_string(passedOverCount) + " Link(s) -> " + path + " : " + passedOver);
    return result;
}

std::string PreparationPass::withCrLf(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

void PreparationPass::ReplaceTagInView(std::string& text, const std::string& name, const std::string& value) {
    if (name.empty() || value.empty()) return;
    std::size_t hit = text.find(name);
    if (hit == std::string::npos) return;
    // Built into a fresh string: replacing in place would move the tail of a large
    // file once per occurrence.
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (; hit != std::string::npos; hit = text.find(name, from)) {
        out.append(text, from, hit - from);
        out += value;
        from = hit + name.size();
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

void PreparationPass::ReplaceTagsInFile(const std::string& path, int r) {
    if (!runsAsJa(files_.cell(Tag, r))) return;
    log_.write("Ersetze alle Tags in Datei : " + path);
    // A text read while it is being written would make a torn page.
    const SettledSnapshots::Settling settling = snapshots_.awaitSettled(path, std::nullopt);
    if (settling.state == SettledSnapshots::Settling::State::Changing) {
        markStillChanging(r, path);
        return;
    }
    std::string text;
    try {
        // Every byte is kept, NUL bytes included: cutting there would upload a truncated file.
        text = withCrLf(fileio::readAll(path));
    } catch (const IoError& e) {
        markIoError(r, path, e.what());
        return;
    }
    if (!replacer().replaceAll(text)) {
        // Tags that name each other can grow a page without bound; only this row fails.
        files_.setCell(Msg, r, msg::kError);
        log_.write("Zeile " + std::to_string(r) + " : Tags verlängern den Text um über " +
                   std::to_string(kTagGrowthLimit / (1024 * 1024)) + " MiB, nicht gesendet -> " + path);
        return;
    }
    mTemp_.setText(text);
    files_.setCell(PsNeu, r, std::to_string(ContentChecksum(text)));
    const std::string target = copyTarget(path, r);
    sources_.record(target, path);
    applyChangeRule(files_, r);
    if (files_.cell(Msg, r) != msg::kNeu) return;
    // A full disk, a folder removed meanwhile or made unusable: this row cannot go out
    // in this run, the others can.
    if (!temp_.ensure()) {
        markIoError(r, target, "Temp-Ordner nicht nutzbar");
        return;
    }
    try {
        fileio::replaceFile(target, text);
    } catch (const IoError& e) {
        markIoError(r, target, e.what());
        return;
    }
    if (settling.state != SettledSnapshots::Settling::State::Settled || !snapshots_.unchanged(path, settling.status)) {
        // Rewritten while it was read: the copy may hold half of each version.
        fileio::removeFile(target);
        markStillChanging(r, path);
        return;
    }
    snapshots_.recordOwnCopy(target);
}

const TagReplacer& PreparationPass::replacer() {
    if (!replacer_) replacer_ = std::make_unique<TagReplacer>(tags_.rows());
    return *replacer_;
}

void PreparationPass::countCopyUsers() {
    copyUsers_.clear();
    for (int r = 1; r <= files_.rowCount(); ++r) {
        const std::string name = files_.cell(TmpQuelle, r);
        if (!name.empty()) ++copyUsers_[name];
    }
}

// The row using `target` as its "tmp-Quelle", other than r; 0 when none does.
int PreparationPass::rowUsing(const std::string& target, int r) const {
    for (int other = 1; other <= files_.rowCount(); ++other) {
        if (other != r && files_.cell(TmpQuelle, other) == target) return other;
    }
    return 0;
}

// r + "_" + the source's name in the scratch folder, with one more row prefix for as
// long as that names the source itself or the copy of another row (a row inserted
// above, or dragged, would otherwise write another row's page).
std::string PreparationPass::freeCopyName(const std::string& source, int r, int& heldBy) const {
    const std::string prefix = std::to_string(r) + "_";
    std::string name = prefix + paths::fileNamePart(source);
    heldBy = 0;
    for (;;) {
        const std::string candidate = paths::join(temp_.path(), name);
        const int user = rowUsing(candidate, r);
        if (user == 0 && !fileio::sameFile(source, candidate)) return candidate;
        if (user != 0) heldBy = user;
        name = prefix + name;
    }
}

std::string PreparationPass::copyTarget(const std::string& source, int r) {
    std::string target = files_.cell(TmpQuelle, r);
    // A tag or pattern source, a row switched to tag replacement after a plain pass, or
    // a hand-set target can all name the source itself; writing there would destroy
    // the placeholders the user keeps in it.
    const bool isSource = !target.empty() && fileio::sameFile(source, target);
    // The count only says where to look; the table itself decides.
    const bool maybeShared = !target.empty() && temp_.contains(target) && copyUsers_[target] > 1;
    const int sharedWith = maybeShared ? rowUsing(target, r) : 0;
    // A copy in a scratch folder no longer ours to use (another account took it).
    const bool elsewhere = !target.empty() && temp_.inOtherScratchFolder(target);
    if (!target.empty() && !isSource && sharedWith == 0 && !elsewhere) return target;
    if (!target.empty()) --copyUsers_[target];
    int heldBy = 0;
    target = freeCopyName(source, r, heldBy);
    ++copyUsers_[target];
    files_.setCell(TmpQuelle, r, target);
    if (isSource) log_.write("tmp-Quelle ist die Quelldatei, Kopie geht nach : " + target);
    if (heldBy != 0 || sharedWith != 0)
        log_.write("tmp-Quelle von Zeile " + std::to_string(heldBy != 0 ? heldBy : sharedWith) +
                   " belegt, Kopie von Zeile " + std::to_string(r) + " geht nach : " + target);
    return target;
}

void PreparationPass::ChecksumSourceFile(const std::string& path, int r) {
    if (runsAsJa(files_.cell(Tag, r))) return;
    // The status the fingerprint is made from is the one the upload holds the file to.
    const std::optional<fileio::FileStatus> status = snapshots_.measure(path);
    const std::int32_t cs = status ? fileChecksumOf(*status, path) : -1;
    if (cs == -1) {
        markIoError(r, path, "");
        return;
    }
    files_.setCell(PsNeu, r, std::to_string(cs));
    // A copy in the scratch folder belongs to tag replacement; a plain row sends its
    // source (the row's "TAG" was switched off since).
    const std::string current = files_.cell(TmpQuelle, r);
    if (current.empty() || temp_.contains(current)) files_.setCell(TmpQuelle, r, path);
    applyChangeRule(files_, r);
}

}  // namespace velora
