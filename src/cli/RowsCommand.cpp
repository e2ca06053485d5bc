#include "cli/RowsCommand.h"

#include <algorithm>
#include <optional>
#include <ostream>

#include "cli/CliCommands.h"
#include "cli/ConfigCommand.h"
#include "filetable/FileTable.h"
#include "settings/SettingsTable.h"
#include <charconv>
#include "settings/SettingsStore.h"
#include "settings/StoredRows.h"

namespace velora::cli {

std::string rowsHelp() {
    return "Usage: velora-cli rows                                   print the file table\n"
           "       velora-cli rows add SOURCE FOLDER NAME [--tag] [--inactive]\n"
           "       velora-cli rows set N COLUMN VALUE\n"
           "       velora-cli rows remove N\n"
           "\n"
           "The rows are printed as the window shows them after \"Load Config\", one per line,\n"
           "tab-separated: Nr., Aktiv, TAG, Quelle, FTP Pfad, FTP Name.\n"
           "add appends a row: Quelle = SOURCE (a path, a pattern such as /data/*.jpg, or a\n"
           "tag such as [_CAM_1_LAST_FOTO_NAME]), FTP Pfad = FOLDER (may be \"\"), FTP Name =\n"
           "NAME; \"Aktiv\" is \"Ja\" unless --inactive, \"TAG\" is \"Ja\" with --tag, else \"No\".\n"
           "set changes one cell of row N; COLUMN is one of the captions \"Aktiv\", \"TAG\",\n"
           "\"Quelle\", \"FTP Pfad\", \"FTP Name\"; Aktiv and TAG take Ja or No.\n"
           "remove deletes row N; the rows below move up and are numbered afresh.\n"
           "Rows are numbered from 1 as in the window; the store keeps the values exactly\n"
           "as \"Config -> Save Config\" writes them.\n"
           "A running daemon takes a change at its next SIGHUP (systemctl --user reload velora).\n";
}

namespace {

constexpr FileColumn kEditable[] = {Aktiv, Tag, Quelle, FtpPfad, FtpName};

struct Failure {
    std::string text;
};

std::string oneLine(const std::string& caption, const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos)
        throw Failure{caption + " takes one line of text; the value holds a line break"};
    if (value.size() > kMaxTextLength)
        throw Failure{caption + " takes at most " + std::to_string(kMaxTextLength) + " bytes of text"};
    return value;
}

std::string nonEmpty(const std::string& caption, const std::string& value) {
    if (value.empty()) throw Failure{caption + " must not be empty"};
    return oneLine(caption, value);
}

bool sameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

std::string yesNo(const std::string& caption, const std::string& value) {
    for (const char* word : {kJa, kNo})
        if (sameLetters(value, word)) return word;
    throw Failure{caption + " takes Ja or No, not \"" + value + "\""};
}

FileColumn columnByCaption(const std::string& caption) {
    std::vector<std::string> known;
    for (FileColumn c : kEditable) {
        const std::string name = FileTable::captions()[static_cast<std::size_t>(c)];
        if (sameLetters(caption, name)) return c;
        known.push_back(name);
    }
    throw Failure{unknownNameMessage("column", caption, nearestNames(caption, known)) +
                  "; the columns are \"Aktiv\", \"TAG\", \"Quelle\", \"FTP Pfad\", \"FTP Name\""};
}

int rowNumber(const std::string& text) {
    int n = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || error != std::errc() || stop != text.data() + text.size() || n < 1 || n > kMaxFileRows)
        throw Failure{"N is a row number from 1, not \"" + text + "\""};
    return n;
}

struct Edit {
    enum Kind { Add, Set, Remove } kind;
    FileTable::Row added{};
    int row = 0;
    FileColumn column = Nr;
    std::string value;
};

Edit parseEdit(const std::vector<std::string>& args) {
    const std::string& verb = args[0];
    std::vector<std::string> words;
    bool tag = false;
    bool inactive = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (verb == "add" && args[i] == "--tag") tag = true;
        else if (verb == "add" && args[i] == "--inactive") inactive = true;
        else if (args[i].size() > 2 && args[i].compare(0, 2, "--") == 0) throw Failure{"Unknown option: " + args[i]};
        else words.push_back(args[i]);
    }
    Edit edit;
    edit.kind = Edit::Add;
    if (verb == "add") {
        if (words.size() != 3) throw Failure{"rows add takes SOURCE FOLDER NAME"};
        // A new row as the window's "insert" makes it, with the choices given.
        edit.added[Aktiv] = inactive ? kNo : kJa;
        edit.added[Tag] = tag ? kJa : kNo;
        edit.added[Quelle] = nonEmpty("Quelle", words[0]);
        edit.added[FtpPfad] = oneLine("FTP Pfad", words[1]);
        edit.added[FtpName] = nonEmpty("FTP Name", words[2]);
        edit.added[PsNeu] = kNotSent;
        edit.added[PsAlt] = kNotSent;
        edit.added[Msg] = msg::kUnchecked;
        return edit;
    }
    if (verb == "set") {
        if (words.size() != 3) throw Failure{"rows set takes N COLUMN VALUE"};
        edit.kind = Edit::Set;
        edit.row = rowNumber(words[0]);
        edit.column = columnByCaption(words[1]);
        const std::string caption = FileTable::captions()[static_cast<std::size_t>(edit.column)];
        if (edit.column == Aktiv || edit.column == Tag) edit.value = yesNo(caption, words[2]);
        else if (edit.column == FtpPfad) edit.value = oneLine(caption, words[2]);
        else edit.value = nonEmpty(caption, words[2]);
        return edit;
    }
    if (verb == "remove") {
        if (words.size() != 1) throw Failure{"rows remove takes N"};
        edit.kind = Edit::Remove;
        edit.row = rowNumber(words[0]);
        return edit;
    }
    throw Failure{"Unknown rows command: " + verb + " (add, set or remove)"};
}

void printRows(const std::vector<FileTable::Row>& rows, std::ostream& out) {
    const auto& captions = FileTable::captions();
    out << captions[Nr];
    for (FileColumn c : kEditable) out << '\t' << captions[static_cast<std::size_t>(c)];
    out << '\n';
    for (const FileTable::Row& row : rows) {
        out << row[Nr];
        for (FileColumn c : kEditable) out << '\t' << row[static_cast<std::size_t>(c)];
        out << '\n';
    }
}

}  // namespace

int runRows(const std::vector<std::string>& args, const AdminContext& context) {
    std::optional<Edit> edit;
    try {
        if (!args.empty()) edit = parseEdit(args);
    } catch (const Failure& f) {
        context.err << f.text << "\n(velora-cli rows --help explains the command)\n";
        return kFailed;
    }
    ensureStore(context);
    std::vector<FileTable::Row> stored;
    {
        Registry::Key key = context.registry.openKeyReadOnly(kSettingsKey);
        const int count = storedRowCount(key);
        stored = edit ? readStoredRows(key, count) : readRowsAsLoaded(key, count);
    }
    if (!edit) {
        printRows(stored, context.out);
        return kOk;
    }
    const int count = static_cast<int>(stored.size());
    if (edit->kind != Edit::Add && edit->row > count) {
        context.err << "There is no row " << edit->row << ": the file table has " << count << " rows\n";
        return kFailed;
    }
    if (edit->kind == Edit::Add && count >= kMaxFileRows) {
        context.err << "The file table holds at most " << kMaxFileRows << " rows\n";
        return kFailed;
    }

    FileTable table;
    table.setScratchFolder(scratchFolder(context));
    table.setRows(stored);
    int firstChanged = 1;
    std::string done;
    switch (edit->kind) {
    case Edit::Add:
        table.insertRow(count + 1, edit->added);
        table.renumberRows();
        firstChanged = count + 1;
        done = "Row " + std::to_string(count + 1) + " added";
        break;
    case Edit::Set:
        table.setCell(edit->column, edit->row, edit->value);
        firstChanged = edit->row;
        done = "Row " + std::to_string(edit->row) + ": " + FileTable::captions()[edit->column] + " = " + edit->value;
        break;
    case Edit::Remove:
        table.removeRow(edit->row);
        table.renumberRows();
        firstChanged = edit->row;
        done = "Row " + std::to_string(edit->row) + " removed; the rows below moved up";
        break;
    }
    {
        Registry::Key key = context.registry.openKey(kSettingsKey);
        writeStoredRows(key, table.rows(), firstChanged);
        key.close();
    }
    context.out << done << '\n';
    tellDaemon(context.out);
    return kOk;
}

}  // namespace velora::cli
