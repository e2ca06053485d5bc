#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "cli/CliCommands.h"
#include "filetable/FileTable.h"
#include "platform/Registry.h"
#include "schedule/CalendarStore.h"
#include "settings/SettingsLogSources.h"
#include "settings/SettingsStore.h"
#include "support/QuietUiHost.h"
#include "support/SampleSystemInfo.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"

using namespace velora;

namespace {

using Args = std::vector<std::string>;
// Every value of the store that `where` picks: (key, name) -> (type, bytes).
using Value = std::pair<int, std::string>;
using Dump = std::map<std::pair<std::string, std::string>, Value>;

Dump dumpStore(const std::string& file, const std::string& where = "1") {
    Dump dump;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, ("SELECT path, name, type, data FROM reg_values WHERE " + where).c_str(), -1, &st,
                           nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot read " << file;
    while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
        const auto bytes = [&](int i) {
            const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
            return std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
        };
        dump[{bytes(0), bytes(1)}] = {sqlite3_column_int(st, 2), bytes(3)};
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return dump;
}

// A DWORD (4 bytes) or QWORD (8 bytes) as stored, least significant byte first.
Value integer(std::uint64_t v, int size = 4) {
    std::string bytes;
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
    return {size == 8 ? 11 : 4, bytes};
}

struct AdminFixture : ::testing::Test {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}}, home.path()};
    ManualClock clock;
    Locale locale = Locale::german();
    test::TestNetwork network;
    std::ostringstream out, err;
    std::string store = home.file("registry.sqlite3");
    // The window's own parts, to store what it writes for the same edit in a store of its own.
    Settings settings = Settings::defaults(env);
    TextView view;
    test::QuietUiHost ui;
    SettingsLogSources sources{settings, env};
    EventLog log{view, ui, clock, locale, sources};
    test::TempDir other;
    Registry reference{other.file("registry.sqlite3")};

    int run(Args args) {
        out.str("");
        err.str("");
        return cli::run(args, out, err,
                        {env, clock, Locale::german(), store, test::sampleSystemInfo(), network.resolver,
                         network.connector, network.icmpSockets});
    }
    // A store as the window's first start leaves it.
    void firstStart() { ASSERT_EQ(run({"config"}), 0) << err.str(); }

    // Runs each command; after it the window's twin edit `same` and its `save` must have
    // left the values that `where` picks as the command did.
    struct Edit {
        Args args;
        std::function<void()> same;
    };
    void expectStoredAsTheWindowDoes(const std::vector<Edit>& edits, const std::function<void()>& save,
                                     const std::string& where) {
        for (const Edit& e : edits) {
            ASSERT_EQ(run(e.args), 0) << err.str();
            e.same();
            save();
            EXPECT_EQ(dumpStore(store, where), dumpStore(reference.filePath(), where)) << e.args[1] << " " << e.args[2];
        }
    }
};

TEST_F(AdminFixture, ConfigSetsOnlyTheNamedValueAsItsControlTakesIt) {
    const std::pair<Args, std::map<std::string, Value>> cases[] = {
        {{"Intervall", "10"}, {{"Intervall", integer(10)}}},
        {{"Intervall", "3601"}, {{"Intervall", integer(3601)}}},
        {{"Restart_Error_Soll", "3601"}, {{"Restart_Error_Soll", integer(3601)}}},
        {{"Autostart", "1"}, {{"Autostart", integer(1)}}},
        // The two mode buttons are one radio group.
        {{"Modus_feste_Zeit", "1"}, {{"Modus_feste_Zeit", integer(1)}, {"Modus_Intervall", integer(0)}}},
        {{"modus_intervall", "0"}, {{"Modus_Intervall", integer(0)}, {"Modus_feste_Zeit", integer(1)}}},
        {{"login_host", "ftp.local"}, {{"Login_Host", {1, "ftp.local"}}}},
        {{"Login_Pwd", ""}, {{"Login_Pwd", {1, ""}}}},
        {{"Send_Files_ges", "4294967295"}, {{"Send_Files_ges", integer(0xFFFFFFFFu)}}},
        // The byte total outgrows 32 bits and is stored as a 64-bit value.
        {{"Send_Bytes_ges", "4294967296"}, {{"Send_Bytes_ges", integer(0x100000000u, 8)}}},
        {{"Form_Left", "-20"}, {{"Form_Left", integer(static_cast<std::uint32_t>(-20))}}},
    };
    firstStart();
    for (const auto& [args, changed] : cases) {
        Dump expected = dumpStore(store);
        for (const auto& [name, value] : changed) expected[{kSettingsKey, name}] = value;
        Args command{"config"};
        command.insert(command.end(), args.begin(), args.end());
        EXPECT_EQ(run(command), cli::kOk) << args[0] << ": " << err.str();
        EXPECT_NE(out.str().find("next SIGHUP"), std::string::npos);
        EXPECT_EQ(dumpStore(store), expected) << args[0];
    }
}

TEST_F(AdminFixture, ConfigShowsWhatLoadConfigWouldApplyWithPasswordsMasked) {
    firstStart();
    {
        auto key = Registry(store).openKey(kSettingsKey);
        key.writeString("Login_Pwd", "s3cret");
        key.writeInteger("Intervall", 5);  // stored by an older tool: the field clamps it
        key.writeInteger("Send_Files_ges", -2);
    }
    ASSERT_EQ(run({"config"}), 0);
    EXPECT_EQ(out.str().find("s3cret"), std::string::npos);
    for (const char* line : {"Login_Pwd            ******\n", "Intervall            10\n",
                             "Send_Files_ges       4294967294\n", "Login_User           \n"})
        EXPECT_NE(out.str().find(line), std::string::npos) << line;
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

// Each edit through `rows` leaves the rows' values exactly as the window's "Save Config"
// after the same edit of its table (values beyond the row count included).
TEST_F(AdminFixture, RowEditsStoreWhatSaveConfigWritesForTheSameTable) {
    firstStart();
    FileTable table;
    table.fillSampleRows();
    table.setScratchFolder(home.path() + "/velora-" + std::to_string(env.userId()));
    RunCounters counters;
    TempFolder temp(env, log);
    SettingsStore saver(reference, settings, table, counters, temp, log, ui);
    saver.SaveConfig();
    const FileTable::Row added{"", kNo, kJa, "/data/*.jpg", "", "cam.jpg", kNotSent, kNotSent, msg::kUnchecked};
    expectStoredAsTheWindowDoes(
        {{{"rows", "add", "/data/*.jpg", "", "cam.jpg", "--inactive", "--tag"},
          [&] { table.insertRow(6, added), table.renumberRows(); }},
         {{"rows", "set", "2", "aktiv", "ja"}, [&] { table.setCell(Aktiv, 2, kJa); }},
         {{"rows", "set", "6", "FTP Pfad", "/cam"}, [&] { table.setCell(FtpPfad, 6, "/cam"); }},
         {{"rows", "remove", "1"}, [&] { table.removeRow(1), table.renumberRows(); }},
         {{"rows", "remove", "5"}, [&] { table.removeRow(5), table.renumberRows(); }}},
        [&] { saver.SaveConfig(); }, "name GLOB 'Liste_*'");

    ASSERT_EQ(run({"rows"}), 0);
    EXPECT_EQ(out.str(),
              "Nr.\tAktiv\tTAG\tQuelle\tFTP Pfad\tFTP Name\n"
              "1\tJa\tNo\t/mnt/c/Kamera/2010_01_31/bild.jpg\t\ttest55/bild.jpg\n"
              "2\t\tJa\t//WETTER-PC/d$/Wetter/2010_01_31/Wetterstation.html\t\t/wetter/Wetterstation.html\n"
              "3\t\tNo\t[_CAM_1_LAST_FOTO_NAME]\t\tbild.jpg\n"
              "4\t\tNo\t[_CAM_2_LAST_FOTO_NAME]\t\tbild_2.jpg\n");
}

// The calendar as the window saved it, shown compactly; each edit stores what "Kalender
// Speichern" writes for the same calendar.
TEST_F(AdminFixture, CalendarShowsTheWindowsCalendarAndStoresEditsAsTheWindowDoes) {
    firstStart();
    RunCounters counters;
    counters.filesPerWeekday[2] = 3;  // as stored below
    counters.bytesPerWeekday[2] = 4096;
    WeekCalendar calendar(counters);
    // Marks the minutes from..to every `step` of a day (1..7, 0: all), keeping started ones.
    const auto plan = [&](int day, int from, int to, int step = 1) {
        for (int d = day == 0 ? 1 : day; d <= (day == 0 ? 7 : day); ++d)
            for (int m = from; m <= to; m += step)
                if (!calendar.marked(d, m)) calendar.setState(d, m, kPlanned);
    };
    plan(2, 6 * 60, 6 * 60 + 55, 5);
    calendar.setState(2, 6 * 60 + 10, kStarted);  // started minutes are shown too
    plan(1, 12 * 60, 12 * 60 + 1);
    plan(7, 23 * 60 + 59, 23 * 60 + 59);
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

    expectStoredAsTheWindowDoes(
        {{{"calendar", "mark", "Mitwoch", "08:00-08:20", "every", "10"}, [&] { plan(4, 480, 500, 10); }},
         {{"calendar", "mark", "all", "23:59"}, [&] { plan(0, 1439, 1439); }},
         {{"calendar", "mark", "2", "06:00-06:12"}, [&] { plan(2, 360, 372); }},
         {{"calendar", "clear", "sonntag"}, [&] { calendar.minutes(1).fill(kFree); }},
         {{"calendar", "clear", "all"}, [&] {
              for (int d = 1; d <= 7; ++d) calendar.minutes(d).fill(kFree);
          }}},
        [&] { CalendarStore(reference, calendar, log).SaveCalendar(); },
        std::string("path = '") + kCalendarKey + "'");
}

TEST_F(AdminFixture, EveryCommandExplainsItselfWithoutTouchingTheStore) {
    for (const Args& command : {Args{"prepare"}, Args{"run"}, Args{"daemon"}, Args{"config"}, Args{"rows"},
                                Args{"calendar"}, Args{"rows", "set"}}) {
        for (const char* flag : {"--help", "-h"}) {
            Args args = command;
            args.push_back(flag);
            EXPECT_EQ(run(args), cli::kOk) << command.back() << " " << flag;
            EXPECT_EQ(out.str().rfind("Usage: velora-cli " + command[0], 0), 0u) << out.str();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(store));
}

// A store as the window leaves it after some use: rows, a calendar, counters, settings.
struct ExportFixture : AdminFixture {
    void useTheWindow() {
        firstStart();
        for (const Args& args : std::vector<Args>{
                 {"config", "Login_Host", "ftp.wetter.local"}, {"config", "Login_Pwd", "s3cret"},
                 {"config", "Intervall", "120"}, {"config", "Modus_feste_Zeit", "1"},
                 {"rows", "add", "/data/\u00e4nderung.html", "/wetter", "seite.html", "--tag"},
                 {"rows", "set", "2", "Aktiv", "No"}, {"calendar", "mark", "Montag", "06:00-06:59", "every", "5"},
                 {"calendar", "mark", "7", "23:59"}})
            ASSERT_EQ(run(args), 0) << args[0] << " " << args[1] << ": " << err.str();
        auto key = Registry(store).openKey(kSettingsKey);
        key.writeInteger("Send_Files_2", 7);
        key.writeInteger("Send_Bytes_2", -5);  // shown unsigned
        key.writeQword("Send_Bytes_ges", 5'000'000'000u);  // past 32 bits
        key.writeInteger("Breite_3", 300);
        key.writeString("Liste_1_1", ">>>");  // a TAG not chosen yet loads as "No"
    }
    std::string exported(Args extra = {}) {
        extra.insert(extra.begin(), {"export", "-"});
        EXPECT_EQ(run(extra), 0) << err.str();
        return out.str();
    }
    // What the other commands show of the store.
    std::string shown() {
        std::string all;
        for (const Args& args : {Args{"config"}, Args{"rows"}, Args{"calendar"}}) {
            EXPECT_EQ(run(args), 0) << err.str();
            all += out.str();
        }
        return all;
    }
};

TEST_F(ExportFixture, ExportImportIntoANewStoreAndExportAgainGiveTheSameDocument) {
    useTheWindow();
    const std::string document = exported({"--with-passwords"});
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
    EXPECT_NE(exported({"--with-passwords"}).find("\"Login_Pwd\": \"s3cret\""), std::string::npos);
    const std::string document = exported();
    for (const char* secret : {"s3cret", "Login_Pwd", "Proxy_Pwd"})
        EXPECT_EQ(document.find(secret), std::string::npos) << secret;
    ASSERT_EQ(run({"config", "Login_Pwd", "neu"}), 0);
    ASSERT_EQ(run({"config", "Intervall", "300"}), 0);
    ASSERT_EQ(run({"import", home.write("nopw.json", document)}), 0) << err.str();
    ASSERT_EQ(run({"config", "Login_Pwd"}), 0);
    EXPECT_EQ(out.str(), "***\n");
    ASSERT_EQ(run({"config", "Intervall"}), 0);
    EXPECT_EQ(out.str(), "120\n");
}

// Every refusal, of a command line, a value or a whole document: exit code 1, a message
// naming what was wrong, and the store file byte for byte as it was.
TEST_F(ExportFixture, RefusalsNameTheirReasonAndLeaveTheStoreFileUntouched) {
    useTheWindow();
    const std::string good = exported({"--with-passwords"});
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::string huge = home.write("huge.json", "");
    ASSERT_EQ(::truncate(huge.c_str(), 100LL * 1024 * 1024), 0);  // too large to be a configuration
    struct Case {
        Args args;
        std::string named;
        std::string document = {};  // when given, imported from a file
    };
    const Case cases[] = {
        {{"config", "Intervall", "9"}, "10 to 3601"}, {{"config", "Intervall", "3602"}, "10 to 3601"},
        {{"config", "Intervall", "60s"}, "10 to 3601"}, {{"config", "T_SS_Qualitaet", "101"}, "0 to 100"},
        {{"config", "HTTP_Timeout", "999"}, "1000 to 100000"}, {{"config", "Autostart", "2"}, "0 or 1"},
        {{"config", "Autostart", "ja"}, "0 or 1"}, {{"config", "Login_Pwd", "a\nb"}, "line break"},
        {{"config", "Send_Files_ges", "-1"}, "0 to 4294967295"},
        {{"config", "Send_Bytes_ges", "-1"}, "0 to 9223372036854775807"},
        {{"config", "Intervalll", "60"}, "did you mean Intervall"},
        {{"config", "LoginHost", "x"}, "did you mean Login_Host"},
        {{"config", "Nope", "1"}, ""}, {{"config", "Intervall", "60", "extra"}, ""},
        {{"rows", "set", "9", "Aktiv", "Ja"}, ""}, {{"rows", "set", "0", "Aktiv", "Ja"}, ""},
        {{"rows", "set", "1", "Aktiv", "vielleicht"}, ""}, {{"rows", "set", "1", "Ziel", "x"}, ""},
        {{"rows", "set", "1", "Quelle", ""}, ""}, {{"rows", "remove", "7"}, ""}, {{"rows", "remove", "x"}, ""},
        {{"rows", "add", "/a", "/"}, ""}, {{"rows", "add", "/a", "/", "a", "--bogus"}, ""},
        {{"rows", "add", "", "/", "a"}, ""}, {{"rows", "frobnicate"}, ""},
        {{"calendar", "mark", "Dienstag", "06:00"}, ""}, {{"calendar", "mark", "8", "06:00"}, ""},
        {{"calendar", "mark", "2", "24:00"}, ""}, {{"calendar", "mark", "2", "6:5"}, ""},
        {{"calendar", "mark", "2", "07:00-06:00"}, ""}, {{"calendar", "mark", "2", "06:00-07:00", "every", "0"}, ""},
        {{"calendar", "mark", "2", "06:00-07:00", "each", "5"}, ""}, {{"calendar", "clear"}, ""},
        {{"calendar", "wipe", "all"}, ""}, {{"export"}, ""}, {{"export", "a.json", "b.json"}, ""},
        {{"export", "a.json", "--without"}, ""}, {{"import"}, ""},
        {{"import", huge}, "at most"}, {{"import", home.file("missing.json")}, ""},
        {{"import"}, "ends too early", good.substr(0, good.size() / 2)},
        {{"import"}, "not a JSON document", "velora settings\n"},
        {{"import"}, "version: 2 is not supported", replaced("\"version\": 1", "\"version\": 2")},
        {{"import"}, "format", replaced("\"velora-config\"", "\"other\"")},
        {{"import"}, "settings.Intervall", replaced("\"Intervall\": 120", "\"Intervall\": 5")},
        {{"import"}, "settings.Intervall", replaced("\"Intervall\": 120", "\"Intervall\": \"120\"")},
        {{"import"}, "settings.Autostrat", replaced("\"Autostart\": 0", "\"Autostart\": 0, \"Autostrat\": 1")},
        {{"import"}, "settings.Login_Host",
         replaced("\"Login_Host\": \"ftp.wetter.local\"", "\"Login_Host\": \"a\\nb\"")},
        {{"import"}, "rows[2].Aktiv", replaced("\"Aktiv\": \"No\"", "\"Aktiv\": \"Vielleicht\"")},
        {{"import"}, "rows[2].Quell", replaced("\"Quelle\": \"/mnt/c", "\"Quell\": \"/mnt/c")},
        {{"import"}, "calendar.Montag", replaced("\"06:00-06:55 every 5 min\"", "\"25:00\"")},
        {{"import"}, "counters.Send_Files_3", replaced("\"Send_Files_3\": 0", "\"Send_Files_3\": -1")},
        {{"import"}, "counters.Send_Files_3", replaced("\"Send_Files_3\": 0", "\"Send_Files_3\": 4294967296")},
        {{"import"}, "column_widths", replaced("    300,\n", "")},
    };
    const std::string bytes = test::readFileBytes(store);
    for (const Case& c : cases) {
        Args args = c.args;
        if (!c.document.empty()) args.push_back(home.write("bad.json", c.document));
        const std::string what = args[0] + " " + (args.size() > 1 ? args[1] : "") + " " + c.named;
        EXPECT_EQ(run(args), cli::kFailed) << what;
        EXPECT_FALSE(err.str().empty()) << what;
        EXPECT_NE(err.str().find(c.named), std::string::npos) << what << ": " << err.str();
        EXPECT_TRUE(test::readFileBytes(store) == bytes) << what;
    }
}

TEST_F(AdminFixture, AMissingStoreIsCreatedAsAFirstStartDoesAndAForeignFileIsRefused) {
    ASSERT_EQ(run({"config", "Intervall"}), 0) << err.str();
    EXPECT_EQ(out.str(), "60\n");
    const Dump created = dumpStore(store);
    EXPECT_EQ(created.at({kSettingsKey, "Liste_row_count"}), integer(6));
    EXPECT_EQ(created.at({kSettingsKey, "m_ftp_pfad_count"}), integer(7));
    EXPECT_EQ(created.at({kCalendarKey, "Default_7"}).second.size(), kCalendarDayBytes);

    const std::string notes = "these are my notes, not a database\n";
    store = home.write("notes.sqlite3", notes);
    for (const Args& args : {Args{"config"}, Args{"config", "Intervall", "60"}, Args{"rows"}}) {
        EXPECT_EQ(run(args), cli::kFailed) << args[0];
        EXPECT_NE(err.str().find(store), std::string::npos) << err.str();
        EXPECT_EQ(test::readFileBytes(store), notes);
    }
}

}  // namespace
