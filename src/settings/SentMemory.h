#pragma once
// What each row last sent, kept between one-shot runs (velora-cli run from cron or a
// systemd timer). The program itself starts every process with "PS alt" = "0", so
// each start sends every active row again; a headless run that starts every few
// minutes would send everything every time. The memory keeps, per row, the "PS alt"
// it ended with, keyed by the row's "Quelle", "FTP Pfad" and "FTP Name" and the server
// ("Login_Host") it went to: an edited row, or a row meant for another server, finds
// nothing and is sent again. A row whose store failed kept its old "PS alt", so it is
// found changed and sent again too.
//
// It lives in a key of its own, "\SOFTWARE\Norvex\Kesta\FTP\Zuletzt_gesendet", one byte
// block "Zeilen", never in the program's own values: "Liste_5_" + r keeps its meaning,
// and the window neither reads nor writes the memory.
#include <string>
#include <vector>

#include "filetable/FileTable.h"
#include "platform/Registry.h"

namespace velora {

inline constexpr const char* kSentMemoryKey = "\\SOFTWARE\\Norvex\\Kesta\\FTP\\Zuletzt_gesendet";
inline constexpr const char* kSentMemoryValue = "Zeilen";

class SentMemory {
public:
    explicit SentMemory(Registry& registry) : registry_(registry) {}

    // Every row the memory knows takes the "PS alt" it last ended with. A memory that
    // cannot be read (damaged, of a newer kind) counts as empty: rows are sent again,
    // never skipped wrongly. Returns the number of rows restored.
    int restore(FileTable& files, const std::string& server);
    // Replaces the memory with the rows' current "PS alt" (rows never sent, "0", are
    // left out; rows gone from the table are forgotten).
    void remember(const FileTable& files, const std::string& server);

private:
    Registry& registry_;
};

// The daemon's reload ("Load Config" sets every "PS alt" to "0"): each row of `after`
// that names the same "TAG", "Quelle", "FTP Pfad" and "FTP Name" as a row of `before`
// takes that row's "PS alt", so a reload does not send unchanged rows again. Nothing
// is carried over when the server changed.
void keepSentOfUnchangedRows(const std::vector<FileTable::Row>& before, const std::string& serverBefore,
                             FileTable& after, const std::string& serverAfter);

}  // namespace velora
