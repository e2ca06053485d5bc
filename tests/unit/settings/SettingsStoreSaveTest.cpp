#include <gtest/gtest.h>

#include <utility>

#include "SettingsStoreFixture.h"

namespace velora::test {
namespace {

using Expected = std::vector<std::pair<std::string, StoredValue>>;

// Everything a first start stores, in the order it is written.
Expected firstStartValues(const std::string& home) {
    Expected e{
        {"Autostart", integerValue(0)},
        {"Ministart", integerValue(0)},
        {"Intervall", integerValue(60)},
        {"TAGSFILE", textValue("Export_Tags.TXT")},
        {"USE_TAGSFILE", integerValue(0)},
        {"Modus_Intervall", integerValue(1)},
        {"Modus_feste_Zeit", integerValue(0)},
        {"Restart_Error_Soll", integerValue(600)},
        {"Send_Files_ges", integerValue(0)},
        {"Send_Bytes_ges", qwordValue(0)},
        {"Log_Datei", textValue(home + "/VELORA.Log")},
        {"Log_Datei_max_Line", integerValue(600)},
        {"Transfer_Log_Datei", textValue(home + "/Transfer_Log.csv")},
        {"Form_Left", integerValue(708)},
        {"Form_Top", integerValue(236)},
        {"Form_Width", integerValue(824)},
        {"Form_Height", integerValue(682)},
        {"Proxy_use", integerValue(0)},
        {"Proxy_Passiv", integerValue(1)},
        {"Proxy_Host", textValue("192.168.0.1")},
        {"Proxy_User", textValue("ax")},
        {"Proxy_Pwd", textValue("qwpl482")},
        {"Proxy_Port", textValue("2121")},
        {"Proxy_Port_HTTP", textValue("3128")},
        {"Login_Host", textValue("www.norvex.example")},
        {"Login_User", textValue("")},
        {"Login_Pwd", textValue("")},
        {"Login_Ping_Test", integerValue(0)},
        {"Get_Ext_IP", integerValue(0)},
        {"HTTP_Timeout", integerValue(10000)},
        {"Get_Ext_IP_WWW", textValue("http://ip.norvex.example/Scripts/IP.php")},
    };
    const int widths[] = {22, 28, 26, 250, 140, 140, 35, 35, 25, 250};
    for (int k = 0; k < 10; ++k) e.push_back({"Breite_" + std::to_string(k), integerValue(widths[k])});
    struct Sample {
        const char *tag, *source, *name;
    };
    const Sample samples[] = {
        {"Ja", "/mnt/d/Wetter/2010_01_31/Wetterstation.html", "/wetter/Wetterstation.html"},
        {"No", "/mnt/c/Kamera/2010_01_31/bild.jpg", "test55/bild.jpg"},
        {"Ja", "//WETTER-PC/d$/Wetter/2010_01_31/Wetterstation.html", "/wetter/Wetterstation.html"},
        {"No", "[_CAM_1_LAST_FOTO_NAME]", "bild.jpg"},
        {"No", "[_CAM_2_LAST_FOTO_NAME]", "bild_2.jpg"},
    };
    for (int r = 1; r <= 5; ++r) {
        const Sample& s = samples[r - 1];
        const std::string n = "_" + std::to_string(r);
        e.push_back({"Liste_1" + n, textValue(s.tag)});
        e.push_back({"Liste_8" + n, textValue("")});
        e.push_back({"Liste_2" + n, textValue(s.source)});
        e.push_back({"Liste_7" + n, textValue("")});
        e.push_back({"Liste_3" + n, textValue(s.name)});
        e.push_back({"Liste_4" + n, textValue("0")});
        e.push_back({"Liste_5" + n, textValue("0")});
        e.push_back({"Liste_6" + n, textValue("No")});
        e.push_back({"Liste_9" + n, textValue("")});
    }
    e.push_back({"Liste_row_count", integerValue(6)});
    const char* presets[] = {"/", "/images", "/wetter", "/wetter/web", "/privat", "/home/user", ""};
    for (int i = 0; i < 7; ++i) e.push_back({"m_ftp_pfad_" + std::to_string(i), textValue(presets[i])});
    e.push_back({"m_ftp_pfad_count", integerValue(7)});
    e.push_back({"T_SS_FileName", textValue(home + "/Screenshot.jpg")});
    e.push_back({"T_SS_Qualitaet", integerValue(80)});
    e.push_back({"T_SS_Grau", integerValue(0)});
    e.push_back({"T_SS_Activ", integerValue(0)});
    e.push_back({"Datei_Ruhezeit", integerValue(2)});
    e.push_back({"Log_Rotate_KB", integerValue(0)});
    e.push_back({"On_Error_Command", textValue("")});
    e.push_back({"FTP_TLS", integerValue(0)});
    e.push_back({"FTP_TLS_Fingerprint", textValue("")});
    e.push_back({"Upload_Temp_Rename", integerValue(0)});
    e.push_back({"SFTP", integerValue(0)});
    e.push_back({"SFTP_Port", integerValue(22)});
    e.push_back({"SFTP_HostKey", textValue("")});
    e.push_back({"SFTP_KeyFile", textValue("")});
    return e;
}

TEST_F(SettingsStoreTest, FirstStartStoresEveryDefaultInOrderThenLoadsItBack) {
    ASSERT_FALSE(std::filesystem::exists(registry.filePath()));
    store.LoadConfig();

    const Expected expected = firstStartValues(scratch.path());
    std::vector<std::string> names;
    for (const auto& [name, value] : expected) {
        names.push_back(name);
        EXPECT_EQ(stored(name), value) << name;
    }
    EXPECT_EQ(namesInWriteOrder(), names);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{"Save Config ", "Load Config"}));

    // The sample rows came back as a load leaves them.
    ASSERT_EQ(table.rowCount(), 5);
    for (int r = 1; r <= 5; ++r) {
        EXPECT_EQ(table.cell(Nr, r), std::to_string(r));
        EXPECT_EQ(table.cell(Msg, r), "");
        EXPECT_EQ(table.cell(PsNeu, r), "0");
    }
    EXPECT_EQ(table.cell(Tag, 3), "Ja");
    EXPECT_EQ(ui.hidden, 0);
}

TEST_F(SettingsStoreTest, SaveWritesSpinFieldsAsNumbersAndTextsAsTyped) {
    settings.se_interval.text = "abc";       // not a number: the lower bound
    settings.se_ss_quali.text = " 5 ";       // a number below nothing: as typed
    settings.se_max_log_zeilen.text = "5";   // below the range: as typed, the load clamps
    settings.se_timeout_http.text = "";
    settings.ME_pwd_ziel = "geheim ÄÖ";
    settings.e_user_ziel = "  user  ";
    settings.cb_passiv = false;
    settings.rb_intervall = false;
    settings.rb_feste_zeiten = true;
    settings.RestartSeconds = 42;
    settings.se_restart.text = "900";        // the field is not what is stored
    counters.Send_Bytes_ges = 5000000000;    // past 32 bits, stored whole
    store.SaveConfig();

    EXPECT_EQ(stored("Intervall"), integerValue(10));
    EXPECT_EQ(stored("T_SS_Qualitaet"), integerValue(5));
    EXPECT_EQ(stored("Log_Datei_max_Line"), integerValue(5));
    EXPECT_EQ(stored("HTTP_Timeout"), integerValue(1000));
    EXPECT_EQ(stored("Login_Pwd"), textValue("geheim ÄÖ"));
    EXPECT_EQ(stored("Login_User"), textValue("  user  "));
    EXPECT_EQ(stored("Proxy_Passiv"), integerValue(0));
    EXPECT_EQ(stored("Modus_Intervall"), integerValue(0));
    EXPECT_EQ(stored("Modus_feste_Zeit"), integerValue(1));
    EXPECT_EQ(stored("Restart_Error_Soll"), integerValue(42));
    EXPECT_EQ(stored("Send_Bytes_ges"), qwordValue(5000000000));
    EXPECT_EQ(logTexts(), std::vector<std::string>{"Save Config "});
}

TEST_F(SettingsStoreTest, SaveRunsTheBeforeSaveHookFirst) {
    // The window's hook: its place and a column width, before anything is written.
    struct WindowState : SettingsStore::Hooks {
        WindowState(const Registry& registry, Settings& settings, FileTable& table)
            : registry(registry), settings(settings), table(table) {}
        void beforeSave() override {
            EXPECT_FALSE(std::filesystem::exists(registry.filePath()));
            settings.window = {-30, 40, 1000, 700};
            table.setColumnWidth(3, 400);
        }
        void afterLoad() override {}
        const Registry& registry;
        Settings& settings;
        FileTable& table;
    } hooks(registry, settings, table);
    store.setHooks(&hooks);
    store.SaveConfig();
    EXPECT_EQ(stored("Form_Left"), integerValue(-30));
    EXPECT_EQ(stored("Form_Height"), integerValue(700));
    EXPECT_EQ(stored("Breite_3"), integerValue(400));
}

TEST_F(SettingsStoreTest, FewerRowsLeaveTheOldRowValuesButLoadOnlyTheCount) {
    table.setRowCount(10);
    for (int r = 1; r <= 10; ++r) table.setCell(Quelle, r, "/src/" + std::to_string(r));
    store.SaveConfig();
    table.setRowCount(3);
    settings.m_ftp_pfad = {"/one"};
    store.SaveConfig();

    EXPECT_EQ(stored("Liste_row_count"), integerValue(4));
    for (int r = 4; r <= 10; ++r) {
        EXPECT_EQ(stored("Liste_2_" + std::to_string(r)), textValue("/src/" + std::to_string(r))) << r;
        EXPECT_TRUE(stored("Liste_9_" + std::to_string(r)).has_value()) << r;
    }
    EXPECT_EQ(stored("m_ftp_pfad_6"), textValue(""));  // presets beyond the count stay too
    EXPECT_EQ(stored("m_ftp_pfad_count"), integerValue(1));

    table.setRowCount(7);
    store.LoadConfig();
    ASSERT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.cell(Quelle, 3), "/src/3");
    EXPECT_EQ(settings.m_ftp_pfad, std::vector<std::string>{"/one"});
}

TEST_F(SettingsStoreTest, RunCountersAreSavedAloneAndQuietly) {
    counters.Send_Files_ges = 17;
    counters.Send_Bytes_ges = 123456;
    for (int d = 1; d <= 7; ++d) {
        counters.filesPerWeekday[d] = d;
        counters.bytesPerWeekday[d] = 1000 * d;
    }
    store.SaveRunCounters();

    std::vector<std::string> names{"Send_Files_ges", "Send_Bytes_ges"};
    for (int d = 1; d <= 7; ++d) {
        names.push_back("Send_Files_" + std::to_string(d));
        names.push_back("Send_Bytes_" + std::to_string(d));
        EXPECT_EQ(stored(names[names.size() - 2]), integerValue(d));
        EXPECT_EQ(stored(names.back()), integerValue(1000 * d));
    }
    EXPECT_EQ(namesInWriteOrder(), names);
    EXPECT_EQ(stored("Send_Files_ges"), integerValue(17));
    EXPECT_EQ(stored("Send_Bytes_ges"), qwordValue(123456));
    EXPECT_TRUE(memo.lines().empty());
}

TEST(SpinField, ValueIsTheWholeNumberTypedOrTheLowerBound) {
    struct Case {
        std::string text;
        int value;
    };
    const Case cases[] = {
        {"60", 60}, {" 42 ", 42}, {"-7", -7}, {"+3", 3}, {"5", 5}, {"4000", 4000},
        {"", 10}, {"  ", 10}, {"abc", 10}, {"12a", 10}, {"1 2", 10}, {"+-5", 10},
        {"-", 10}, {"1.5", 10}, {"99999999999", 10},
    };
    for (const Case& c : cases) EXPECT_EQ((SpinField{10, 3601, c.text}.value()), c.value) << "'" << c.text << "'";
}

TEST(SpinField, SetValueClampsIntoTheRange) {
    SpinField f{10, 3601, "60"};
    const std::pair<int, std::string> cases[] = {{5, "10"}, {4000, "3601"}, {300, "300"}, {-2, "10"}, {3601, "3601"}};
    for (const auto& [in, text] : cases) {
        f.setValue(in);
        EXPECT_EQ(f.text, text) << in;
    }
}

TEST(SettingsDefaults, FileNamesLieInTheHomeFolder) {
    for (const std::string home : {"/home/anna", "/home/anna/"}) {
        const Settings s = Settings::defaults(FixedEnvironment({}, home));
        EXPECT_EQ(s.E_logfile, "/home/anna/VELORA.Log");
        EXPECT_EQ(s.e_Transfer_Log, "/home/anna/Transfer_Log.csv");
        EXPECT_EQ(s.e_ss_file, "/home/anna/Screenshot.jpg");
    }
}

}  // namespace
}  // namespace velora::test
