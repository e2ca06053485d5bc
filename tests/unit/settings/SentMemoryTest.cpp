#include <gtest/gtest.h>

#include "filetable/FileTable.h"
#include "platform/Registry.h"
#include "settings/SentMemory.h"
#include "support/TempDir.h"

namespace velora {
namespace {

FileTable::Row row(const std::string& tag, const std::string& source, const std::string& folder,
                   const std::string& name, const std::string& psAlt) {
    FileTable::Row r{};
    r[Aktiv] = kJa;
    r[Tag] = tag;
    r[Quelle] = source;
    r[FtpPfad] = folder;
    r[FtpName] = name;
    r[PsAlt] = psAlt;
    return r;
}

FileTable tableOf(const std::vector<FileTable::Row>& rows) {
    FileTable t;
    t.setRows(rows);
    return t;
}

// After the daemon's reload every "PS alt" is "0"; which rows take back what they sent.
TEST(SentMemoryTest, AReloadKeepsWhatUnchangedRowsSent) {
    const std::vector<FileTable::Row> before = {row("No", "/a", "/", "a", "111"), row("Ja", "/b", "/w", "b", "222"),
                                                row("No", "/c", "/", "c", "0"), row("No", "/d", "/", "d", "???")};
    struct Case {
        const char* what;
        FileTable::Row after;
        std::string psAlt;
        std::string server = "ftp.host";
    };
    const Case cases[] = {
        {"unchanged", row("No", "/a", "/", "a", "0"), "111"},
        {"unchanged, moved to another place", row("Ja", "/b", "/w", "b", "0"), "222"},
        {"source edited", row("No", "/a2", "/", "a", "0"), "0"},
        {"folder edited", row("No", "/a", "/x", "a", "0"), "0"},
        {"name edited", row("No", "/a", "/", "a2", "0"), "0"},
        {"TAG switched", row("Ja", "/a", "/", "a", "0"), "0"},
        {"never sent", row("No", "/c", "/", "c", "0"), "0"},
        {"cleared by a double-click", row("No", "/d", "/", "d", "0"), "0"},
        {"unchanged, for another server", row("No", "/a", "/", "a", "0"), "0", "other.host"},
    };
    for (const Case& c : cases) {
        FileTable after = tableOf({row("No", "/new", "/", "n", "0"), c.after});
        keepSentOfUnchangedRows(before, "ftp.host", after, c.server);
        EXPECT_EQ(after.cell(PsAlt, 2), c.psAlt) << c.what;
        EXPECT_EQ(after.cell(PsAlt, 1), "0") << c.what;
    }
}

// Between one-shot runs: by Quelle, FTP Pfad, FTP Name and server, whatever the texts hold.
TEST(SentMemoryTest, RemembersPerRowAndServerAndForgetsWhatItCannotRead) {
    test::TempDir dir;
    Registry registry(dir.file("registry.sqlite3"));
    SentMemory memory(registry);
    memory.remember(tableOf({row("No", "/a", "/", "a", "111"), row("No", "/b", "/", "b", "0"),
                             row("No", "/c\tx", "/\n", "c", "-333")}),
                    "ftp.host");
    const auto restored = [&](const std::string& server, std::vector<FileTable::Row> rows) {
        FileTable t = tableOf(rows);
        std::vector<std::string> psAlt{std::to_string(memory.restore(t, server))};
        for (int r = 1; r <= t.rowCount(); ++r) psAlt.push_back(t.cell(PsAlt, r));
        return psAlt;
    };
    // First the number of rows restored, then each row's "PS alt".
    using Texts = std::vector<std::string>;
    EXPECT_EQ(restored("ftp.host", {row("No", "/c\tx", "/\n", "c", "0"), row("No", "/b", "/", "b", "0"),
                                    row("No", "/a", "/", "a", "0"), row("No", "/a", "/", "A", "0")}),
              (Texts{"2", "-333", "0", "111", "0"}));
    EXPECT_EQ(restored("other.host", {row("No", "/a", "/", "a", "0")}), (Texts{"0", "0"}));

    // A damaged memory (cut short, or not a byte block) counts as empty.
    registry.openKey(kSentMemoryKey).writeBinary(kSentMemoryValue, {1, 9, 0, 0, 0, 'f'});
    EXPECT_EQ(restored("ftp.host", {row("No", "/a", "/", "a", "0")}), (Texts{"0", "0"}));
    registry.openKey(kSentMemoryKey).writeString(kSentMemoryValue, "x");
    EXPECT_EQ(restored("ftp.host", {row("No", "/a", "/", "a", "0")}), (Texts{"0", "0"}));
}

}  // namespace
}  // namespace velora
