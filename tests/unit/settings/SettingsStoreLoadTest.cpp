#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "SettingsStoreFixture.h"
#include "support/ErrorOf.h"
#include "platform/Errors.h"

namespace velora::test {
namespace {

// The text of the RegistryError a load raises.
std::string loadFailure(SettingsStore& store) {
    return test::errorOf<RegistryError>([&] { store.LoadConfig(); });
}

TEST_F(SettingsStoreTest, LoadAppliesTheOppositeOfEveryDefault) {
    const std::string other = scratch.path() + "/other";
    beginBatch();
    putInteger("Autostart", 1);
    putInteger("Ministart", 1);
    putInteger("Intervall", 120);
    putText("TAGSFILE", "/data/tags.txt");
    putInteger("USE_TAGSFILE", 1);
    putInteger("Modus_Intervall", 0);
    putInteger("Modus_feste_Zeit", 1);
    putInteger("Restart_Error_Soll", 45);
    putInteger("Send_Files_ges", 11);
    putInteger("Send_Bytes_ges", -2);
    putText("Log_Datei", other + ".log");
    putInteger("Log_Datei_max_Line", 50);
    putText("Transfer_Log_Datei", other + ".csv");
    putInteger("Form_Left", 1);
    putInteger("Form_Top", 2);
    putInteger("Form_Width", 3);
    putInteger("Form_Height", 4);
    putInteger("Proxy_use", 1);
    putInteger("Proxy_Passiv", 0);
    putText("Proxy_Host", "127.0.0.9");
    putText("Proxy_User", "pu");
    putText("Proxy_Pwd", "pp");
    putText("Proxy_Port", "21");
    putText("Proxy_Port_HTTP", "8080");
    putText("Login_Host", "127.0.0.1");
    putText("Login_User", "lu");
    putText("Login_Pwd", "lp");
    putInteger("Login_Ping_Test", 1);
    putInteger("Get_Ext_IP", 1);
    putInteger("HTTP_Timeout", 2500);
    putText("Get_Ext_IP_WWW", "http://127.0.0.1/ip");
    for (int k = 0; k < 10; ++k) putInteger("Breite_" + std::to_string(k), 100 + k);
    const char* row1[] = {"1", ">>>", "8", "Ja", "2", "/src/a.txt", "7", "/up", "3", "a.txt",
                          "4", "123", "5", "456", "6", "NEU", "9", "/srv/export/a.txt"};
    const char* row2[] = {"1", "Ja", "8", "No", "2", "[_TAG_]", "7", "", "3", "b/b.jpg",
                          "4", "7", "5", "8", "6", "Send", "9", ""};
    for (int i = 0; i < 18; i += 2) {
        putText(std::string("Liste_") + row1[i] + "_1", row1[i + 1]);
        putText(std::string("Liste_") + row2[i] + "_2", row2[i + 1]);
    }
    putInteger("Liste_row_count", 3);
    putText("m_ftp_pfad_0", "/a");
    putText("m_ftp_pfad_1", "b");
    putInteger("m_ftp_pfad_count", 2);
    putText("T_SS_FileName", other + ".jpg");
    putInteger("T_SS_Qualitaet", 55);
    putInteger("T_SS_Grau", 1);
    putInteger("T_SS_Activ", 1);
    putInteger("Datei_Ruhezeit", 0);
    putInteger("Log_Rotate_KB", 2048);
    putText("On_Error_Command", "/usr/local/bin/page-me \"the webcam\"");
    putInteger("FTP_TLS", 1);
    putText("FTP_TLS_Fingerprint", "AB:CD");
    putInteger("Upload_Temp_Rename", 1);
    putInteger("SFTP", 1);
    putInteger("SFTP_Port", 2222);
    putText("SFTP_HostKey", "SHA256:abc");
    putText("SFTP_KeyFile", "/home/u/.ssh/id_ed25519");
    for (int d = 1; d <= 7; ++d) {
        putInteger("Send_Files_" + std::to_string(d), 10 * d);
        if (d != 7) putInteger("Send_Bytes_" + std::to_string(d), 1000 * d);
    }
    endBatch();
    // The log's texts when the window's hook runs.
    struct TextsAtLoad : SettingsStore::Hooks {
        explicit TextsAtLoad(const TextView& memo) : memo(memo) {}
        void beforeSave() override {}
        void afterLoad() override { texts = test::textsOf(memo); }
        const TextView& memo;
        std::vector<std::string> texts;
    } hooks(memo);
    store.setHooks(&hooks);
    const std::vector<std::string>& textsAtHook = hooks.texts;

    store.LoadConfig();

    EXPECT_TRUE(settings.cb_activ);
    EXPECT_TRUE(settings.cb_mini_start);
    EXPECT_EQ(settings.se_interval.text, "120");
    EXPECT_EQ(settings.E_tags, "/data/tags.txt");
    EXPECT_TRUE(settings.cb_tag_datei);
    EXPECT_FALSE(settings.rb_intervall);
    EXPECT_TRUE(settings.rb_feste_zeiten);
    EXPECT_EQ(settings.RestartSeconds, 45);
    EXPECT_EQ(settings.se_restart.text, "600");  // the field is not loaded
    EXPECT_EQ(counters.Send_Files_ges, 11);
    EXPECT_EQ(counters.Send_Bytes_ges, 4294967294u);   // an older store's 32 bits, unsigned
    EXPECT_EQ(settings.E_logfile, other + ".log");
    EXPECT_EQ(settings.se_max_log_zeilen.text, "50");
    EXPECT_EQ(settings.e_Transfer_Log, other + ".csv");
    EXPECT_EQ(settings.window.left, 1);
    EXPECT_EQ(settings.window.top, 2);
    EXPECT_EQ(settings.window.width, 3);
    EXPECT_EQ(settings.window.height, 4);
    EXPECT_TRUE(settings.cb_ftp_tls && settings.cb_temp_rename && settings.cb_sftp);
    EXPECT_EQ(settings.e_tls_fingerprint, "AB:CD");
    EXPECT_EQ(settings.se_sftp_port.text, "2222");
    EXPECT_EQ(settings.e_sftp_hostkey, "SHA256:abc");
    EXPECT_EQ(settings.e_sftp_keyfile, "/home/u/.ssh/id_ed25519");
    EXPECT_TRUE(settings.cb_proxy);
    EXPECT_FALSE(settings.cb_passiv);
    EXPECT_EQ(settings.E_Host, "127.0.0.9");
    EXPECT_EQ(settings.E_User_name, "pu");
    EXPECT_EQ(settings.ME_Pasword, "pp");
    EXPECT_EQ(settings.E_ftp_Port, "21");
    EXPECT_EQ(settings.e_http_port, "8080");
    EXPECT_EQ(settings.e_host_ziel, "127.0.0.1");
    EXPECT_EQ(settings.e_user_ziel, "lu");
    EXPECT_EQ(settings.ME_pwd_ziel, "lp");
    EXPECT_TRUE(settings.cb_ping);
    EXPECT_TRUE(settings.cb_get_ext_ip);
    EXPECT_EQ(settings.se_timeout_http.text, "2500");
    EXPECT_EQ(settings.e_www_ext_ip, "http://127.0.0.1/ip");
    for (int k = 0; k < 10; ++k) EXPECT_EQ(table.columnWidth(k), 100 + k);

    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.row(1), (FileTable::Row{"1", "Ja", "No", "/src/a.txt", "/up", "a.txt", "0", "0", "",
                                            "/srv/export/a.txt"}));
    EXPECT_EQ(table.row(2), (FileTable::Row{"2", "No", "Ja", "[_TAG_]", "", "b/b.jpg", "0", "0", "", ""}));

    EXPECT_EQ(settings.m_ftp_pfad, (std::vector<std::string>{"/a", "b"}));
    EXPECT_EQ(settings.e_ss_file, other + ".jpg");
    EXPECT_EQ(settings.se_ss_quali.text, "55");
    EXPECT_TRUE(settings.cb_ss_sw);
    EXPECT_TRUE(settings.cb_ss_aktiv);
    EXPECT_EQ(settings.se_ruhezeit.text, "0");
    EXPECT_EQ(settings.se_log_rotate.text, "2048");
    EXPECT_EQ(settings.e_on_error_command, "/usr/local/bin/page-me \"the webcam\"");
    for (int d = 1; d <= 7; ++d) {
        EXPECT_EQ(counters.filesPerWeekday[d], 10 * d) << d;
        // A lost byte counter counts as nothing sent.
        EXPECT_EQ(counters.bytesPerWeekday[d], d == 7 ? 0 : 1000 * d) << d;
    }

    // The key existed: nothing was saved first.
    EXPECT_EQ(logTexts(), std::vector<std::string>{"Load Config"});
    EXPECT_EQ(textsAtHook, std::vector<std::string>{"Load Config"});
    EXPECT_EQ(ui.hidden, 1);
}

TEST_F(SettingsStoreTest, MissingTextsEmptyTheAlwaysFieldsAndKeepTheOthers) {
    store.SaveConfig();
    struct Case {
        const char* name;
        std::string Settings::*field;
        bool emptied;
    };
    const Case cases[] = {
        {"Proxy_Host", &Settings::E_Host, true},       {"Proxy_User", &Settings::E_User_name, true},
        {"Proxy_Pwd", &Settings::ME_Pasword, true},    {"Login_Host", &Settings::e_host_ziel, true},
        {"Login_User", &Settings::e_user_ziel, true},  {"Login_Pwd", &Settings::ME_pwd_ziel, true},
        {"TAGSFILE", &Settings::E_tags, false},        {"Log_Datei", &Settings::E_logfile, false},
        {"Proxy_Port", &Settings::E_ftp_Port, false},  {"Proxy_Port_HTTP", &Settings::e_http_port, false},
        {"Get_Ext_IP_WWW", &Settings::e_www_ext_ip, false}, {"T_SS_FileName", &Settings::e_ss_file, false},
        {"Transfer_Log_Datei", &Settings::e_Transfer_Log, false},
        {"On_Error_Command", &Settings::e_on_error_command, false},
        {"FTP_TLS_Fingerprint", &Settings::e_tls_fingerprint, false},
        {"SFTP_HostKey", &Settings::e_sftp_hostkey, false},
        {"SFTP_KeyFile", &Settings::e_sftp_keyfile, false},
    };
    for (const Case& c : cases) {
        erase(c.name);
        settings.*c.field = "kept";
    }
    for (const char* name :
         {"Intervall", "Autostart", "Form_Left", "Breite_3", "HTTP_Timeout", "Send_Files_ges", "Datei_Ruhezeit",
          "Log_Rotate_KB", "FTP_TLS", "SFTP_Port"}) {
        erase(name);
    }
    settings.se_interval.text = "77";
    settings.se_ruhezeit.text = "9";
    settings.se_log_rotate.text = "64";
    settings.cb_activ = true;
    settings.cb_ftp_tls = true;
    settings.se_sftp_port.text = "2222";
    settings.window.left = -9;
    table.setColumnWidth(3, 301);
    counters.Send_Files_ges = 5;

    store.LoadConfig();
    for (const Case& c : cases) EXPECT_EQ(settings.*c.field, c.emptied ? "" : "kept") << c.name;
    EXPECT_EQ(settings.se_interval.text, "77");
    EXPECT_EQ(settings.se_ruhezeit.text, "9");
    EXPECT_EQ(settings.se_log_rotate.text, "64");
    EXPECT_TRUE(settings.cb_activ);
    EXPECT_TRUE(settings.cb_ftp_tls);
    EXPECT_EQ(settings.se_sftp_port.text, "2222");
    EXPECT_EQ(settings.window.left, -9);
    EXPECT_EQ(table.columnWidth(3), 301);
    EXPECT_EQ(settings.se_timeout_http.text, "10000");
    EXPECT_EQ(counters.Send_Files_ges, 5);
}

TEST_F(SettingsStoreTest, StoredNumbersAreKeptWithinTheirRanges) {
    store.SaveConfig();
    struct Case {
        const char* name;
        std::int32_t stored;
        std::function<std::string()> observed;
        std::string expected;
    };
    auto interval = [&] { return settings.se_interval.text; };
    auto logLines = [&] { return settings.se_max_log_zeilen.text; };
    auto timeout = [&] { return settings.se_timeout_http.text; };
    auto quality = [&] { return settings.se_ss_quali.text; };
    auto rotate = [&] { return settings.se_log_rotate.text; };
    auto width = [&](int k) { return [&, k] { return std::to_string(table.columnWidth(k)); }; };
    auto rows = [&] { return std::to_string(table.rowCount()); };
    const Case cases[] = {
        {"Intervall", 5, interval, "10"},
        {"Intervall", 99999, interval, "3601"},
        {"Intervall", 300, interval, "300"},
        {"Log_Datei_max_Line", 5, logLines, "10"},
        {"Log_Datei_max_Line", 4000, logLines, "3601"},
        {"HTTP_Timeout", 5, timeout, "1000"},
        {"HTTP_Timeout", 200000, timeout, "100000"},
        {"T_SS_Qualitaet", 150, quality, "100"},
        {"T_SS_Qualitaet", -1, quality, "0"},
        {"Log_Rotate_KB", -1, rotate, "0"},
        {"Log_Rotate_KB", 2000000, rotate, "1048576"},
        {"SFTP_Port", 0, [&] { return settings.se_sftp_port.text; }, "1"},
        {"SFTP_Port", 70000, [&] { return settings.se_sftp_port.text; }, "65535"},
        {"Breite_3", -5, width(3), "0"},
        {"Breite_4", 2000000, width(4), "10000"},
        {"Form_Left", 10000000, [&] { return std::to_string(settings.window.left); }, "10000000"},
        {"Form_Top", -500, [&] { return std::to_string(settings.window.top); }, "-500"},
        {"Restart_Error_Soll", 7, [&] { return std::to_string(settings.RestartSeconds); }, "7"},
        {"m_ftp_pfad_count", -4, [&] { return std::to_string(settings.m_ftp_pfad.size()); }, "0"},
        {"m_ftp_pfad_count", 5000, [&] { return std::to_string(settings.m_ftp_pfad.size()); }, "1000"},
        {"Liste_row_count", -3, rows, "0"},
        {"Liste_row_count", 1, rows, "0"},
        {"Liste_row_count", 2000000000, rows, std::to_string(kMaxFileRows)},
    };
    for (const Case& c : cases) {
        putInteger(c.name, c.stored);
        store.LoadConfig();
        EXPECT_EQ(c.observed(), c.expected) << c.name << " = " << c.stored;
    }
    // The capped table still holds the stored rows first and numbered empty rows after.
    EXPECT_EQ(table.cell(Quelle, 4), "[_CAM_1_LAST_FOTO_NAME]");
    EXPECT_EQ(table.cell(Nr, kMaxFileRows), std::to_string(kMaxFileRows));
    EXPECT_EQ(table.cell(Quelle, kMaxFileRows), "");
    EXPECT_EQ(settings.se_restart.text, "600");
}

TEST_F(SettingsStoreTest, MissingRowCountStopsTheLoadBeforePresetsAndCounters) {
    store.SaveConfig();
    erase("Liste_row_count");
    putInteger("Intervall", 120);
    putInteger("T_SS_Qualitaet", 33);
    putText("m_ftp_pfad_0", "/changed");
    putInteger("Send_Files_2", 9);
    putInteger("Send_Bytes_2", 9);

    EXPECT_EQ(loadFailure(store), "Fehler beim Holen der Daten für 'Liste_row_count'");
    EXPECT_EQ(settings.se_interval.text, "120");  // applied before the failure
    EXPECT_EQ(settings.se_ss_quali.text, "80");
    EXPECT_EQ(settings.m_ftp_pfad.front(), "/");
    EXPECT_EQ(counters.filesPerWeekday[2], 0);
    EXPECT_EQ(table.rowCount(), 5);
    EXPECT_EQ(table.cell(Msg, 1), "No");  // the rows were not touched
    EXPECT_FALSE(test::contains(logTexts(), "Load Config"));
    EXPECT_EQ(ui.hidden, 0);
}

TEST_F(SettingsStoreTest, WrongKindEndsTheLoadAtThatValue) {
    struct Case {
        const char* name;
        bool storeAsText;
        std::string message;
    };
    const Case cases[] = {
        {"Intervall", true, "Ungültiger Datentyp für 'Intervall'"},
        {"Login_Host", false, "Ungültiger Datentyp für 'Login_Host'"},
        {"Liste_row_count", true, "Ungültiger Datentyp für 'Liste_row_count'"},
        {"Liste_2_3", false, "Ungültiger Datentyp für 'Liste_2_3'"},
    };
    for (const Case& c : cases) {
        store.SaveConfig();
        putInteger("Autostart", 1);          // before every failing value
        putText("Get_Ext_IP_WWW", "http://127.0.0.1/x");
        putText("T_SS_FileName", "/after.jpg");  // after every failing value
        putInteger("Liste_row_count", 9);
        erase(c.name);
        if (c.storeAsText) {
            putText(c.name, "abc");
        } else {
            putInteger(c.name, 1);
        }
        settings.cb_activ = false;
        memo.clear();

        EXPECT_EQ(loadFailure(store), c.message);
        EXPECT_TRUE(settings.cb_activ) << c.name;
        EXPECT_NE(settings.e_ss_file, "/after.jpg") << c.name;
        EXPECT_FALSE(test::contains(logTexts(), "Load Config")) << c.name;
        // A bad row value leaves the table whole, not half resized.
        EXPECT_EQ(table.rowCount(), 5) << c.name;
        EXPECT_EQ(table.cell(Msg, 5), "No") << c.name;
        erase(c.name);
    }
    EXPECT_EQ(settings.e_www_ext_ip, "http://127.0.0.1/x");  // the row cases got past the settings
}

TEST_F(SettingsStoreTest, BothModesStoredTrueEndWithFixedTimes) {
    store.SaveConfig();
    struct Case {
        int intervall, feste;
        bool rbIntervall, rbFeste;
    };
    const Case cases[] = {{1, 1, false, true}, {0, 0, false, false}, {1, 0, true, false}, {0, 1, false, true}};
    for (const Case& c : cases) {
        putInteger("Modus_Intervall", c.intervall);
        putInteger("Modus_feste_Zeit", c.feste);
        settings.rb_intervall = true;
        settings.rb_feste_zeiten = false;
        store.LoadConfig();
        EXPECT_EQ(settings.rb_intervall, c.rbIntervall) << c.intervall << c.feste;
        EXPECT_EQ(settings.rb_feste_zeiten, c.rbFeste) << c.intervall << c.feste;
    }
}

TEST_F(SettingsStoreTest, WeekdayCountersLoadOnlyWhereTheFilesValueExists) {
    store.SaveRunCounters();  // zeros for every weekday
    erase("Send_Files_4");
    putInteger("Send_Files_5", 3);
    putInteger("Send_Bytes_5", 3000);
    putInteger("Liste_row_count", 1);
    counters.filesPerWeekday[4] = 44;
    counters.bytesPerWeekday[4] = 4400;
    counters.filesPerWeekday[1] = 12;
    store.LoadConfig();
    EXPECT_EQ(counters.filesPerWeekday[4], 44);
    EXPECT_EQ(counters.bytesPerWeekday[4], 4400);
    EXPECT_EQ(counters.filesPerWeekday[5], 3);
    EXPECT_EQ(counters.bytesPerWeekday[5], 3000);
    EXPECT_EQ(counters.filesPerWeekday[1], 0);
}

// Two programs on one store (the window and a cron run) each add what they counted;
// neither overwrites the other's counts with its own older picture.
TEST_F(SettingsStoreTest, RunCountersOfTwoProcessesAddUp) {
    putInteger("Send_Files_ges", 100);
    putInteger("Send_Bytes_ges", 1000);
    putInteger("Liste_row_count", 1);
    store.LoadConfig();
    RunCounters otherCounters;
    FileTable otherTable;
    Settings otherSettings = settings;
    SettingsStore other(registry, otherSettings, otherTable, otherCounters, temp, log, ui);
    other.LoadConfig();

    counters.Send_Files_ges += 2;
    counters.filesPerWeekday[3] += 2;
    otherCounters.Send_Files_ges += 5;
    otherCounters.Send_Bytes_ges += 5000000000;   // past 32 bits on its own
    otherCounters.filesPerWeekday[3] += 5;
    store.SaveRunCounters();
    other.SaveRunCounters();
    store.SaveRunCounters();   // nothing new: adds nothing
    other.SaveConfig();        // nor does a saved configuration

    auto key = registry.openKeyReadOnly(kSettingsKey);
    EXPECT_EQ(key.readInteger("Send_Files_ges"), 107);
    EXPECT_EQ(key.readInteger("Send_Files_3"), 7);
    EXPECT_EQ(key.readQword("Send_Bytes_ges"), 5000001000u);
    EXPECT_EQ(otherCounters.Send_Files_ges, 107);   // each then shows the sum
}

// Names in "tmp-Quelle" that would send the wrong bytes are dropped at load; the next
// pass gives the rows right ones.
TEST_F(SettingsStoreTest, LoadDropsScratchNamesThatCannotBeRight) {
    const std::string scratch = temp.path();
    const struct {
        const char* tag;
        std::string tmp;
        std::string kept;
    } rows[] = {
        {"Ja", "/tmp/velora/1_index.html", ""},               // the old folder every account shares
        {"No", scratch + "/2_page.html", ""},                 // "TAG" switched off since
        {"Ja", scratch + "/3_en.html", scratch + "/3_en.html"},
        {"Ja", scratch + "/3_en.html", ""},                   // the same copy as the row above
        {"Ja", scratch + "-Ab12Cd/4_de.html", ""},            // an earlier process's private folder
        {"No", "/srv/cam/bild.jpg", "/srv/cam/bild.jpg"},     // a plain source
        {"Ja", "/srv/out/by_hand.html", "/srv/out/by_hand.html"},
        {"No", "/srv/cam/bild.jpg", "/srv/cam/bild.jpg"},     // plain rows may share a source
    };
    beginBatch();
    putInteger("Liste_row_count", static_cast<int>(std::size(rows)) + 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const std::string n = std::to_string(i + 1);
        putText("Liste_1_" + n, rows[i].tag);
        putText("Liste_9_" + n, rows[i].tmp);
    }
    endBatch();
    store.LoadConfig();
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(table.cell(TmpQuelle, static_cast<int>(i) + 1), rows[i].kept) << i + 1;
}

// The store holds both passwords: one of ours others can read is closed at its next
// use and that is said; another account's is refused before a byte is read.
TEST_F(SettingsStoreTest, StoreOthersCanReadIsClosedAndAnotherAccountsIsRefused) {
    const std::string file = registry.filePath();
    const auto modeOf = [&] {
        struct stat info {};
        return ::stat(file.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };
    test::writeFileBytes(file, "");   // a 0-byte file, as a tool leaves it
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    store.LoadConfig();
    EXPECT_TRUE(registry.keyExists(kSettingsKey));   // filled with the defaults
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    store.SaveRunCounters();
    EXPECT_EQ(modeOf(), 0600u);
    const std::vector<std::string> texts = logTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Registry -> " + file + " = Rechte 0644 auf 0600 gesetzt"), 2);

    if (::geteuid() != 0) return;   // only root can make a store another account's
    const std::string bytes = readFileBytes(file);
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534) | ::chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(loadFailure(store),
              "Die Registrierungsdatei '" + file + "' kann nicht geöffnet werden: sie gehört einem anderen Benutzer");
    EXPECT_EQ(readFileBytes(file), bytes);
    EXPECT_EQ(modeOf(), 0644u);
}

}  // namespace
}  // namespace velora::test
