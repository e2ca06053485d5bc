#include "transfer/PreparationPass.h"

#include <utility>
#include <vector>

#include "platform/DirListing.h"
#include "platform/FileIo.h"
#include "platform/Paths.h"
#include "transfer/Checksums.h"

namespace velora {

namespace {

// Attribute bits a pattern may pick; anything else (devices, fifos, sockets) is skipped.
constexpr std::uint32_t kPickableAttributes = 0x3F;

}  // namespace

PreparationPass::PreparationPass(FileTable& files, TagTable& tags, TagBuilder& builder, TextView& M_temp,
                                 TempFolder& temp, EventLog& log, UiHost& ui)
    : files_(files), tags_(tags), builder_(builder), mTemp_(M_temp), temp_(temp), log_(log), ui_(ui) {}

void PreparationPass::run() {
    log_.write("Einlesen");
    builder_.BuildTagTable();
    mTemp_.clear();
    // The count is fixed here: rows added by a command run between two rows wait for
    // the next pass, rows removed read as empty and are skipped.
    const int n = files_.rowCount();
    for (int r = 1; r <= n; ++r) {
        ui_.pumpEvents();
        files_.setCell(PsNeu, r, "?");
        files_.setCell(Msg, r, "?");
        if (!runsAsJa(files_.cell(Aktiv, r))) continue;
        const std::string source = files_.cell(Quelle, r);
        if (source.empty()) continue;
        std::string path = ResolveSourceTag(source, r);
        path = PickNewestFile(path, r);
        if (fileio::isRegularFile(path)) {
            ReplaceTagsInFile(path, r);
            ChecksumSourceFile(path, r);
        } else {
            files_.setCell(Msg, r, "NF");
        }
    }
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
    const std::string folder = paths::folderPartWithSlash(path);
    std::vector<std::string> names;
    std::int32_t newest = 0;
    for (DirEntry& entry : listMatching(path)) {
        if ((entry.attributes & ~kPickableAttributes) != 0) continue;
        // Strictly greater: on equal stamps the entry listed first stays.
        if (entry.dosTime > newest) {
            newest = entry.dosTime;
            result = folder + entry.name;
        }
        names.push_back(std::move(entry.name));
    }
    // One update for the whole list: a folder of thousands of files must not repaint
    // the view once per name.
    mTemp_.setLines(std::move(names));
    files_.setCell(TmpQuelle, r, result);
    return result;
}

std::string PreparationPass::WithCrLf(const std::string& bytes) {
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
    // Every byte is kept, NUL bytes included: cutting there would upload a truncated file.
    std::string text = WithCrLf(fileio::readAll(path));
    for (const TagRow& tag : tags_.rows()) ReplaceTagInView(text, tag.name, tag.value);
    mTemp_.setText(text);
    files_.setCell(PsNeu, r, std::to_string(ContentChecksum(text)));
    const std::string target = copyTarget(path, r);
    ApplyChangeRule(files_, r);
    if (files_.cell(Msg, r) != "NEU") return;
    temp_.ensure();
    fileio::writeAll(target, text);
}

std::string PreparationPass::scratchCopyName(const std::string& source, int r) const {
    return temp_.path() + "/" + std::to_string(r) + "_" + paths::fileNamePart(source);
}

std::string PreparationPass::freshCopyName(const std::string& source, int r) const {
    // A source that itself lies in the scratch folder under the copy's name gets one
    // more row prefix until the name is free of it.
    const std::string prefix = std::to_string(r) + "_";
    std::string name = paths::fileNamePart(source);
    std::string candidate;
    do {
        name = prefix + name;
        candidate = temp_.path() + "/" + name;
    } while (fileio::sameFile(source, candidate));
    return candidate;
}

std::string PreparationPass::copyTarget(const std::string& source, int r) {
    std::string target = files_.cell(TmpQuelle, r);
    if (target.empty()) {
        target = scratchCopyName(source, r);
        files_.setCell(TmpQuelle, r, target);
    }
    // A tag or pattern source, a row switched to tag replacement after a plain pass, or
    // a hand-set target can all name the source itself; writing there would destroy
    // the placeholders the user keeps in it.
    if (fileio::sameFile(source, target)) {
        target = freshCopyName(source, r);
        files_.setCell(TmpQuelle, r, target);
        log_.write("tmp-Quelle ist die Quelldatei, Kopie geht nach : " + target);
    }
    return target;
}

void PreparationPass::ChecksumSourceFile(const std::string& path, int r) {
    if (runsAsJa(files_.cell(Tag, r))) return;
    const std::int32_t cs = FileChecksum(path);
    if (cs == -1) {
        log_.write("IORESULT <> 0 -> " + path);
        files_.setCell(Msg, r, "IOERROR");
        return;
    }
    files_.setCell(PsNeu, r, std::to_string(cs));
    if (files_.cell(TmpQuelle, r).empty()) files_.setCell(TmpQuelle, r, path);
    ApplyChangeRule(files_, r);
}

}  // namespace velora
