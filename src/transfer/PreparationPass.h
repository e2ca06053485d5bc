#pragma once
// "Einlesen": decides for every active row which local file is meant, measures its
// fingerprint and marks the row "NEU" or "OK"; rows with tag replacement get a copy
// with the tags filled in, which is what the upload then sends.
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "transfer/ResolvedSources.h"
#include "transfer/SettledSnapshot.h"
#include "transfer/TagBuilder.h"
#include "transfer/TagTable.h"

namespace velora {

class TagReplacer;

class PreparationPass {
public:
    PreparationPass(FileTable& files, TagTable& tags, TagBuilder& builder, TextView& M_temp, TempFolder& temp,
                    ResolvedSources& sources, SettledSnapshots& snapshots, EventLog& log, UiHost& ui);
    ~PreparationPass();

    // PreparationPass(). A registry read error while building the tags leaves and ends
    // the pass before the first row. A file that cannot be read or copied marks its row
    // "IOERROR" and the pass goes on: one bad file must not stop every export.
    void run();

    // A source starting with "[" is looked up as a tag (the last matching row wins).
    std::string ResolveSourceTag(const std::string& source, int r);
    // A path with "*" or "?" becomes its newest match; M_temp lists the candidates. A
    // link another account owns is no candidate.
    std::string PickNewestFile(const std::string& path, int r);
    // Rows with "TAG" "Ja" only.
    void ReplaceTagsInFile(const std::string& path, int r);
    // Rows without "TAG" "Ja" only.
    void ChecksumSourceFile(const std::string& path, int r);

    // Every occurrence of `name` by `value`, left to right, continuing behind each
    // inserted value; nothing when either is empty.
    static void ReplaceTagInView(std::string& text, const std::string& name, const std::string& value);
    // Every line break (CR LF, lone CR, lone LF) as CR LF; all other bytes as they are.
    static std::string withCrLf(const std::string& bytes);

private:
    void prepareRow(int r, bool tagFileFailed);
    std::string copyTarget(const std::string& source, int r);
    std::string freeCopyName(const std::string& source, int r, int& heldBy) const;
    int rowUsing(const std::string& target, int r) const;
    void countCopyUsers();
    void markIoError(int r, const std::string& path, const std::string& why);
    void markStillChanging(int r, const std::string& path);
    bool refusedThroughLink(const std::string& path, int r);
    const TagReplacer& replacer();

    FileTable& files_;
    TagTable& tags_;
    TagBuilder& builder_;
    TextView& mTemp_;
    TempFolder& temp_;
    ResolvedSources& sources_;
    SettledSnapshots& snapshots_;
    EventLog& log_;
    UiHost& ui_;
    // How many rows name each "tmp-Quelle", counted at the start of the pass and kept up
    // by the names it gives: asking every tag row whether its copy is shared must not
    // scan the whole table once per row.
    std::unordered_map<std::string, int> copyUsers_;
    // The tags of this pass, made ready for replacement at its first tag row.
    std::unique_ptr<TagReplacer> replacer_;   // built on first use, from the tags of this pass
};

}  // namespace velora
