#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "cli/CliCommands.h"
#include "filetable/FileTable.h"
#include "platform/Registry.h"
#include "schedule/CalendarStore.h"
#include "settings/SettingsLogSources.h"
#include "settings/SettingsStore.h"
#include "support/SampleSystemInfo.h"
#include "support/TempDir.h"
#include "support/QuietUiHost.h"
#include "support/TestNetwork.h"

using namespace velora;

namespace {

// Every value of the store: (key, name) -> (type, bytes).
using Dump = std::map<std::pair<std::string, std::string>, std::pair<int, std::string>>;

Dump dumpStore(const std::string& file) {
    Dump dump;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << file;
        sqlite3_close(db);
        return dump;
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT path, name, type, data FROM reg_values", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto text = [&](int i) {
            const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
            return std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
        };
        dump[{text(0), text(1)}] = {sqlite3_column_int(st, 2), text(3)};
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return dump;
}

std::pair<int, std::string> integer(std::uint32_t v) {
    return {4, std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)}};
}
std::pair<int, std::string> qword(std::uint64_t v) {
    std::string bytes;
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
    return {11, bytes};
}
std::pair<int, std::string> text(const std::string& t) { return {1, t}; }

struct AdminFixture : ::testing::Test {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}}, home.path()};
    ManualClock clock;
    Locale locale = Locale::german();
    test::TestNetwork network;
    std::ostringstream out, err;
    std::string store = home.file("registry.sqlite3");

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::run(args, out, err,
                        {env, clock, Locale::german(), store, test::sampleSystemInfo(), network.resolver,
                         network.connector, network.icmpSockets});
    }
    // A store as the window's first start leaves it.
    void firstStart() { ASSERT_EQ(run({"config"}), 0) << err.str(); }
};

TEST_F(AdminFixture, ConfigSetsOnlyTheNamedValueCheckedAsItsControlTakesIt) {
    using Changes = std::map<std::string, std::pair<int, std::string>>;
    struct Case {
        std::vector<std::string> args;
        Changes changed;        // empty: refused
        std::string errorPart;  // for refusals
    };
    const Case cases[] = {
        {{"Intervall", "10"}, {{"Intervall", integer(10)}}, ""},
        {{"Intervall", "3601"}, {{"Intervall", integer(3601)}}, ""},
        {{"Intervall", "9"}, {}, "10 to 3601"},
        {{"Intervall", "3602"}, {}, "10 to 3601"},
        {{"Intervall", "60s"}, {}, "10 to 3601"},
        {{"T_SS_Qualitaet", "101"}, {}, "0 to 100"},
        {{"HTTP_Timeout", "999"}, {}, "1000 to 100000"},
        {{"Restart_Error_Soll", "3601"}, {{"Restart_Error_Soll", integer(3601)}}, ""},
        {{"Autostart", "1"}, {{"Autostart", integer(1)}}, ""},
        {{"Autostart", "2"}, {}, "0 or 1"},
        {{"Autostart", "ja"}, {}, "0 or 1"},
        // The two mode buttons are one radio group.
        {{"Modus_feste_Zeit", "1"}, {{"Modus_feste_Zeit", integer(1)}, {"Modus_Intervall", integer(0)}}, ""},
        {{"modus_intervall", "0"}, {{"Modus_Intervall", integer(0)}, {"Modus_feste_Zeit", integer(1)}}, ""},
        {{"login_host", "ftp.local"}, {{"Login_Host", text("ftp.local")}}, ""},
        {{"Login_Pwd", ""}, {{"Login_Pwd", text("")}}, ""},
        {{"Login_Pwd", "a\nb"}, {}, "line break"},
        {{"Send_Files_ges", "4294967295"}, {{"Send_Files_ges", integer(0xFFFFFFFFu)}}, ""},
        {{"Send_Files_ges", "-1"}, {}, "0 to 4294967295"},
        // The byte total outgrows 32 bits and is stored as a 64-bit value.
        {{"Send_Bytes_ges", "4294967296"}, {{"Send_Bytes_ges", qword(0x100000000u)}}, ""},
        {{"Send_Bytes_ges", "-1"}, {}, "0 to 9223372036854775807"},
        {{"Form_Left", "-20"}, {{"Form_Left", integer(static_cast<std::uint32_t>(-20))}}, ""},
        {{"Intervalll", "60"}, {}, "did you mean Intervall"},
        {{"LoginHost", "x"}, {}, "did you mean Login_Host"},
    };
    for (const Case& c : cases) {
        firstStart();
        const Dump before = dumpStore(store);
        std::vector<std::string> args{"config"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const int code = run(args);
        const Dump after = dumpStore(store);
        if (c.changed.empty()) {
            EXPECT_EQ(code, cli::kFailed) << c.args[0];
            EXPECT_NE(err.str().find(c.errorPart), std::string::npos) << err.str();
            EXPECT_EQ(after, before) << c.args[0];
            continue;
        }
        EXPECT_EQ(code, cli::kOk) << c.args[0] << ": " << err.str();
        EXPECT_NE(out.str().find("next SIGHUP"), std::string::npos);
        Dump expected = before;
        for (const auto& [name, value] : c.changed) expected[{kSettingsKey, name}] = value;
        EXPECT_EQ(after, expected) << c.args[0];
    }
}

TEST_F(AdminFixture, ConfigShowsWhatLoadConfigWouldApplyWithPasswordsMasked) {
    firstStart();
    {
        Registry reg(store);
        auto key = reg.openKey(kSettingsKey);
        key.writeString("Login_Pwd", "s3cret");
        key.writeInteger("Intervall", 5);  // stored by an older tool: the field clamps it
        key.writeInteger("Send_Files_ges", -2);
    }
    ASSERT_EQ(run({"config"}), 0);
    const std::string listing = out.str();
    EXPECT_EQ(listing.find("s3cret"), std::string::npos);
    for (const char* line : {"Login_Pwd            ******\n", "Intervall            10\n",
                             "Send_Files_ges       4294967294\n", "Login_User           \n"})
        EXPECT_NE(listing.find(line), std::string::npos) << line;
    ASSERT_EQ(run({"config", "LOGIN_PWD"}), 0);
    EXPECT_EQ(out.str(), "******\n");

    // A value an outside tool stored with the wrong kind is named, and can be set again.
    Registry(store).openKey(kSettingsKey).writeString("HTTP_Timeout", "schnell");
    ASSERT_EQ(run({"config"}), 0);
    EXPECT_NE(out.str().find("HTTP_Timeout         (Ungültiger Datentyp"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Login_Host           www.norvex.example\n"), std::string::npos);
    ASSERT_EQ(run({"config", "HTTP_Timeout", "5000"}), 0) << err.str();
    EXPECT_EQ(out.str().rfind("HTTP_Timeout = 5000 (was (Ungültiger Datentyp", 0), 0u) << out.str();
}

// Each edit through `rows` leaves the store exactly as the window's "Save Config" after
// the same edit of its table (values beyond the row count included).
TEST_F(AdminFixture, RowEditsStoreWhatSaveConfigWritesForTheSameTable) {
    firstStart();
    test::TempDir other;
    Registry reference(other.file("registry.sqlite3"));
    Settings settings = Settings::defaults(env);
    FileTable table;
    table.fillSampleRows();
    table.setScratchFolder(home.path() + "/velora-" + std::to_string(env.userId()));
    RunCounters counters;
    TextView view;
    test::QuietUiHost ui;
    SettingsLogSources sources(settings, env);
    EventLog log(view, ui, clock, locale, sources);
    TempFolder temp(env, log);
    SettingsStore saver(reference, settings, table, counters, temp, log, ui);
    saver.SaveConfig();

    FileTable::Row added{};
    added[Aktiv] = kNo;
    added[Tag] = kJa;
    added[Quelle] = "/data/*.jpg";
    added[FtpPfad] = "";
    added[FtpName] = "cam.jpg";
    added[PsNeu] = kNotSent;
    added[PsAlt] = kNotSent;
    added[Msg] = msg::kUnchecked;
    ASSERT_EQ(run({"rows", "add", "/data/*.jpg", "", "cam.jpg", "--inactive", "--tag"}), 0) << err.str();
    table.insertRow(6, added);
    saver.SaveConfig();
    ASSERT_EQ(run({"rows", "set", "2", "aktiv", "ja"}), 0) << err.str();
    table.setCell(Aktiv, 2, kJa);
    saver.SaveConfig();
    ASSERT_EQ(run({"rows", "set", "6", "FTP Pfad", "/cam"}), 0) << err.str();
    table.setCell(FtpPfad, 6, "/cam");
    saver.SaveConfig();
    ASSERT_EQ(run({"rows", "remove", "1"}), 0) << err.str();
    table.removeRow(1);
    saver.SaveConfig();
    ASSERT_EQ(run({"rows", "remove", "5"}), 0) << err.str();
    table.removeRow(5);
    table.renumberRows();
    saver.SaveConfig();

    Dump mine, theirs;
    for (const auto& [name, value] : dumpStore(store))
        if (name.second.rfind("Liste_", 0) == 0) mine[name] = value;
    for (const auto& [name, value] : dumpStore(reference.filePath()))
        if (name.second.rfind("Liste_", 0) == 0) theirs[name] = value;
    EXPECT_EQ(mine, theirs);

    ASSERT_EQ(run({"rows"}), 0);
    EXPECT_EQ(out.str(),
              "Nr.\tAktiv\tTAG\tQuelle\tFTP Pfad\tFTP Name\n"
              "1\tJa\tNo\t/mnt/c/Kamera/2010_01_31/bild.jpg\t\ttest55/bild.jpg\n"
              "2\t\tJa\t//WETTER-PC/d$/Wetter/2010_01_31/Wetterstation.html\t\t/wetter/Wetterstation.html\n"
              "3\t\tNo\t[_CAM_1_LAST_FOTO_NAME]\t\tbild.jpg\n"
              "4\t\tNo\t[_CAM_2_LAST_FOTO_NAME]\t\tbild_2.jpg\n");
}

// Every refusal: exit code 1, a message, and the store file byte for byte as it was.
TEST_F(AdminFixture, RefusedCommandsLeaveTheStoreFileUntouched) {
    const std::vector<std::vector<std::string>> refused = {
        {"config", "Nope", "1"},
        {"config", "Intervall", "abc"},
        {"config", "Intervall", "60", "extra"},
        {"rows", "set", "9", "Aktiv", "Ja"},
        {"rows", "set", "0", "Aktiv", "Ja"},
        {"rows", "set", "1", "Aktiv", "vielleicht"},
        {"rows", "set", "1", "Ziel", "x"},
        {"rows", "set", "1", "Quelle", ""},
        {"rows", "remove", "6"},
        {"rows", "remove", "x"},
        {"rows", "add", "/a", "/"},
        {"rows", "add", "/a", "/", "a", "--bogus"},
        {"rows", "add", "", "/", "a"},
        {"rows", "frobnicate"},
        {"calendar", "mark", "Dienstag", "06:00"},
        {"calendar", "mark", "8", "06:00"},
        {"calendar", "mark", "2", "24:00"},
        {"calendar", "mark", "2", "6:5"},
        {"calendar", "mark", "2", "07:00-06:00"},
        {"calendar", "mark", "2", "06:00-07:00", "every", "0"},
        {"calendar", "mark", "2", "06:00-07:00", "each", "5"},
        {"calendar", "clear"},
        {"calendar", "wipe", "all"},
        {"export"},
        {"export", "a.json", "b.json"},
        {"export", "a.json", "--without"},
        {"import"},
    };
    firstStart();
    const std::string bytes = test::readFileBytes(store);
    for (const auto& args : refused) {
        EXPECT_EQ(run(args), cli::kFailed) << args[0] << " " << args[1];
        EXPECT_FALSE(err.str().empty()) << args[1];
        EXPECT_TRUE(test::readFileBytes(store) == bytes) << args[0] << " " << args[1];
    }
}

// The calendar as the window saved it, shown compactly; each edit stores what "Kalender
// Speichern" writes for the same calendar.
TEST_F(AdminFixture, CalendarShowsTheWindowsCalendarAndStoresEditsAsTheWindowDoes) {
    firstStart();
    RunCounters counters;
    counters.filesPerWeekday[2] = 3;
    counters.bytesPerWeekday[2] = 4096;
    WeekCalendar calendar(counters);
    for (int m = 6 * 60; m < 7 * 60; m += 5) calendar.setState(2, m, kPlanned);
    calendar.setState(2, 6 * 60 + 10, kStarted);  // started minutes are marked too
    calendar.setState(1, 12 * 60, kPlanned);
    calendar.setState(1, 12 * 60 + 1, kPlanned);
    calendar.setState(7, 23 * 60 + 59, kPlanned);
    TextView view;
    test::QuietUiHost ui;
    Settings settings = Settings::defaults(env);
    SettingsLogSources sources(settings, env);
    EventLog log(view, ui, clock, locale, sources);
    {
        Registry reg(store);
        CalendarStore(reg, calendar, log).SaveCalendar();
        auto key = reg.openKey(kSettingsKey);
        key.writeInteger("Send_Files_2", 3);
        key.writeInteger("Send_Bytes_2", 4096);
    }
    ASSERT_EQ(run({"calendar"}), 0) << err.str();
    for (const char* line :
         {"Sonntag    (1)     2  12:00, 12:01\n", "Montag     (2)    12  06:00-06:55 every 5 min\n",
          "Dinstag    (3)     0  none\n", "Samstag    (7)     1  23:59\n", "Planned minutes in the week: 15\n"})
        EXPECT_NE(out.str().find(line), std::string::npos) << line << out.str();

    struct Edit {
        std::vector<std::string> args;
        std::function<void()> same;
    };
    const Edit edits[] = {
        {{"calendar", "mark", "Mitwoch", "08:00-08:20", "every", "10"},
         [&] {
             for (int m : {480, 490, 500}) calendar.setState(4, m, kPlanned);
         }},
        {{"calendar", "mark", "all", "23:59"},
         [&] {
             for (int d = 1; d <= 7; ++d)
                 if (!calendar.marked(d, 1439)) calendar.setState(d, 1439, kPlanned);
         }},
        {{"calendar", "mark", "2", "06:00-06:12"},
         [&] {
             for (int m = 360; m <= 372; ++m)
                 if (!calendar.marked(2, m)) calendar.setState(2, m, kPlanned);
         }},
        {{"calendar", "clear", "sonntag"}, [&] { calendar.minutes(1).fill(kFree); }},
        {{"calendar", "clear", "all"},
         [&] {
             for (int d = 1; d <= 7; ++d) calendar.minutes(d).fill(kFree);
         }},
    };
    for (const Edit& e : edits) {
        ASSERT_EQ(run(e.args), 0) << err.str();
        e.same();
        test::TempDir other;
        Registry reference(other.file("registry.sqlite3"));
        CalendarStore(reference, calendar, log).SaveCalendar();
        Dump mine, theirs;
        for (const auto& [name, value] : dumpStore(store))
            if (name.first == kCalendarKey) mine[name] = value;
        for (const auto& [name, value] : dumpStore(reference.filePath()))
            if (name.first == kCalendarKey) theirs[name] = value;
        EXPECT_EQ(mine, theirs) << e.args[1] << " " << e.args[2];
    }
}

TEST_F(AdminFixture, EveryCommandExplainsItselfWithoutTouchingTheStore) {
    for (const char* command : {"prepare", "run", "daemon", "config", "rows", "calendar"}) {
        for (const char* flag : {"--help", "-h"}) {
            EXPECT_EQ(run({command, flag}), cli::kOk) << command;
            EXPECT_EQ(out.str().rfind(std::string("Usage: velora-cli ") + command, 0), 0u) << out.str();
        }
    }
    EXPECT_EQ(run({"rows", "set", "--help"}), cli::kOk);
    EXPECT_NE(out.str().find("\"FTP Pfad\""), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(store));
}

// A store as the window leaves it after some use: rows, a calendar, counters, settings.
struct ExportFixture : AdminFixture {
    void useTheWindow() {
        firstStart();
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"config", "Login_Host", "ftp.wetter.local"},
                 {"config", "Login_Pwd", "s3cret"},
                 {"config", "Intervall", "120"},
                 {"config", "Modus_feste_Zeit", "1"},
                 {"rows", "add", "/data/\u00e4nderung.html", "/wetter", "seite.html", "--tag"},
                 {"rows", "set", "2", "Aktiv", "No"},
                 {"calendar", "mark", "Montag", "06:00-06:59", "every", "5"},
                 {"calendar", "mark", "7", "23:59"}})
            ASSERT_EQ(run(args), 0) << args[0] << " " << args[1] << ": " << err.str();
        Registry reg(store);
        auto key = reg.openKey(kSettingsKey);
        key.writeInteger("Send_Files_2", 7);
        key.writeInteger("Send_Bytes_2", -5);  // shown unsigned
        key.writeQword("Send_Bytes_ges", 5'000'000'000u);  // past 32 bits
        key.writeInteger("Breite_3", 300);
        key.writeString("Liste_1_1", ">>>");  // a TAG not chosen yet loads as "No"
    }
    std::string exported(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"export", "-"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(run(args), 0) << err.str();
        return out.str();
    }
    // What the other commands show of the store.
    std::string shown() {
        std::string all;
        for (const std::vector<std::string>& args :
             std::vector<std::vector<std::string>>{{"config"}, {"rows"}, {"calendar"}}) {
            EXPECT_EQ(run(args), 0) << err.str();
            all += out.str();
        }
        return all;
    }
};

TEST_F(ExportFixture, ExportImportIntoANewStoreAndExportAgainGiveTheSameDocument) {
    useTheWindow();
    const std::string document = exported({"--with-passwords"});
    EXPECT_NE(document.find("\"Login_Pwd\": \"s3cret\""), std::string::npos);
    EXPECT_NE(document.find("\"Montag\": \"06:00-06:55 every 5 min\""), std::string::npos);
    EXPECT_NE(document.find("\"Send_Bytes_2\": 4294967291"), std::string::npos);
    EXPECT_NE(document.find("\"Send_Bytes_ges\": 5000000000"), std::string::npos);
    const std::string shownBefore = shown();
    const std::string file = home.write("backup.json", document);

    store = home.file("restored.sqlite3");
    ASSERT_EQ(run({"import", file}), 0) << err.str();
    EXPECT_NE(out.str().find("next SIGHUP"), std::string::npos);
    EXPECT_EQ(exported({"--with-passwords"}), document);
    EXPECT_EQ(shown(), shownBefore);

    // Written to a file: readable by the user alone, as the store is, also when the
    // file was there before and others could read it.
    ASSERT_EQ(::chmod(home.write("copy.json", "old").c_str(), 0644), 0);
    ASSERT_EQ(run({"export", home.file("copy.json")}), 0);
    struct stat info {};
    ASSERT_EQ(::stat(home.file("copy.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(ExportFixture, PasswordsLeaveOnlyWhenAskedForAndStayWhenTheDocumentHasNone) {
    useTheWindow();
    const std::string document = exported();
    EXPECT_EQ(document.find("s3cret"), std::string::npos);
    EXPECT_EQ(document.find("Login_Pwd"), std::string::npos);
    EXPECT_EQ(document.find("Proxy_Pwd"), std::string::npos);
    ASSERT_EQ(run({"config", "Login_Pwd", "neu"}), 0);
    ASSERT_EQ(run({"config", "Intervall", "300"}), 0);
    ASSERT_EQ(run({"import", home.write("nopw.json", document)}), 0) << err.str();
    ASSERT_EQ(run({"config", "Login_Pwd"}), 0);
    EXPECT_EQ(out.str(), "***\n");
    ASSERT_EQ(run({"config", "Intervall"}), 0);
    EXPECT_EQ(out.str(), "120\n");
}

// A bad document changes nothing and names its first bad field.
TEST_F(ExportFixture, ABadDocumentIsRefusedWholeAndNamesItsFirstBadField) {
    useTheWindow();
    const std::string good = exported({"--with-passwords"});
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    struct Case {
        std::string document;
        std::string named;
    };
    const Case cases[] = {
        {good.substr(0, good.size() / 2), "ends too early"},
        {"velora settings\n", "not a JSON document"},
        {replaced("\"version\": 1", "\"version\": 2"), "version: 2 is not supported"},
        {replaced("\"velora-config\"", "\"other\""), "format"},
        {replaced("\"Intervall\": 120", "\"Intervall\": 5"), "settings.Intervall"},
        {replaced("\"Intervall\": 120", "\"Intervall\": \"120\""), "settings.Intervall"},
        {replaced("\"Autostart\": 0", "\"Autostart\": 0, \"Autostrat\": 1"), "settings.Autostrat"},
        {replaced("\"Login_Host\": \"ftp.wetter.local\"", "\"Login_Host\": \"a\\nb\""), "settings.Login_Host"},
        {replaced("\"Aktiv\": \"No\"", "\"Aktiv\": \"Vielleicht\""), "rows[2].Aktiv"},
        {replaced("\"Quelle\": \"/mnt/c", "\"Quell\": \"/mnt/c"), "rows[2].Quell"},
        {replaced("\"06:00-06:55 every 5 min\"", "\"25:00\""), "calendar.Montag"},
        {replaced("\"Send_Files_3\": 0", "\"Send_Files_3\": -1"), "counters.Send_Files_3"},
        {replaced("\"Send_Files_3\": 0", "\"Send_Files_3\": 4294967296"), "counters.Send_Files_3"},
        {replaced("    300,\n", ""), "column_widths"},
    };
    const std::string before = test::readFileBytes(store);
    for (const Case& c : cases) {
        EXPECT_EQ(run({"import", home.write("bad.json", c.document)}), cli::kFailed) << c.named;
        EXPECT_NE(err.str().find(c.named), std::string::npos) << c.named << ": " << err.str();
        EXPECT_TRUE(test::readFileBytes(store) == before) << c.named;
    }
    // Too large to be a configuration: refused unread.
    const std::string huge = home.file("huge.json");
    test::writeFileBytes(huge, "");
    ASSERT_EQ(::truncate(huge.c_str(), 100LL * 1024 * 1024), 0);
    EXPECT_EQ(run({"import", huge}), cli::kFailed);
    EXPECT_NE(err.str().find("at most"), std::string::npos) << err.str();
    EXPECT_EQ(run({"import", home.file("missing.json")}), cli::kFailed);
    EXPECT_TRUE(test::readFileBytes(store) == before);
}

TEST_F(AdminFixture, AMissingStoreIsCreatedAsAFirstStartDoesAndAForeignFileIsRefused) {
    ASSERT_EQ(run({"config", "Intervall"}), 0) << err.str();
    EXPECT_EQ(out.str(), "60\n");
    const Dump created = dumpStore(store);
    EXPECT_EQ(created.at({kSettingsKey, "Liste_row_count"}), integer(6));
    EXPECT_EQ(created.at({kSettingsKey, "m_ftp_pfad_count"}), integer(7));
    EXPECT_EQ(created.at({kCalendarKey, "Default_7"}).second.size(), kCalendarDayBytes);

    const std::string notAStore = home.write("notes.sqlite3", "these are my notes, not a database\n");
    store = notAStore;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"config"}, {"config", "Intervall", "60"}, {"rows"}}) {
        EXPECT_EQ(run(args), cli::kFailed) << args[0];
        EXPECT_NE(err.str().find(notAStore), std::string::npos) << err.str();
        EXPECT_EQ(test::readFileBytes(notAStore), "these are my notes, not a database\n");
    }
}

}  // namespace
