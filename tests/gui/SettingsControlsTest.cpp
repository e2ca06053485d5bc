// The settings controls: names, captions, ranges, write-through and refresh.
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

#include "GuiTestSupport.h"

namespace velora::gui::test {
namespace {

class SettingsControlsTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        makeWindow();
    }
    Settings& settings() { return program->settings(); }
};

TEST_F(SettingsControlsTest, GroupsCarryTheirExactTitles) {
    QStringList titles;
    for (QGroupBox* g : window->findChildren<QGroupBox*>()) titles << g->title();
    for (const char* t : {" Start ", " Dateien ", " FTP Login ", "  Proxy  ", " FTP Ordner Vorgaben  ",
                          " für TAGs ext. IP abfragen ", "Zeitmodus ", " Intervall ", " feste Zeiten ", " Screenshot "})
        EXPECT_TRUE(titles.contains(QString::fromUtf8(t))) << t;
}

TEST_F(SettingsControlsTest, CheckBoxesWithCaptions) {
    const std::vector<std::pair<const char*, const char*>> boxes{
        {"cb_activ", "Aktiv"},          {"cb_mini_start", "Minimiert"},  {"cb_tag_datei", "Tag Datei"},
        {"cb_passiv", "Passiv"},        {"cb_ping", "Onlinstatus Prüfen"}, {"cb_proxy", "Proxy"},
        {"cb_get_ext_ip", "Ext. IP abfragen"}, {"cb_ss_aktiv", "Aktiv"}, {"cb_ss_sw", "Grayscale"}};
    for (const auto& [name, caption] : boxes) {
        auto* box = find<QCheckBox>(name);
        ASSERT_NE(box, nullptr) << name;
        EXPECT_EQ(box->text(), QString::fromUtf8(caption)) << name;
    }
    // Built-in defaults: only "Passiv" is on.
    EXPECT_TRUE(find<QCheckBox>("cb_passiv")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("cb_activ")->isChecked());
}

TEST_F(SettingsControlsTest, ButtonsWithCaptions) {
    const std::vector<std::pair<const char*, const char*>> buttons{
        {"b_tag", "Suchen"},      {"b_log", "Suchen"},         {"b_Transfer_Log", "Suchen"},
        {"b_ss_file", "Suchen"},  {"Button2", "Test Onlinestatus"}, {"Button1", "Speichern Test"},
        {"b_dauer_max_clr", "Lösche"}, {"B_Save_Kalender", "Kalender Speichern"},
        {"B_load_Kalender", "Kalender neu Laden"}};
    for (const auto& [name, caption] : buttons) {
        auto* b = find<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), QString::fromUtf8(caption)) << name;
    }
}

TEST_F(SettingsControlsTest, SpinBoxesWithRangesDefaultsAndHints) {
    struct Case {
        const char* name;
        int min, max, value;
        const char* hint;
    };
    const Case cases[] = {
        {"se_max_log_zeilen", 10, 3601, 600, "Max Log Zeilen in der Anzeige"},
        {"se_timeout_http", 1000, 100000, 10000, "Timeout im Millisekunden"},
        {"se_interval", 10, 3601, 60, "Prüsintervall in Sekunden"},
        {"se_restart", 10, 3601, 600,
         "Restart nach ONLINE ERROR . Solte doppelt so groß sein wie die Max Übertragungsdauer"},
        {"se_ss_quali", 0, 100, 80, nullptr},
        {"se_ruhezeit", 0, 60, 2, "Sekunden, die eine Datei unverändert sein muss, bevor sie gesendet wird"},
        {"se_log_rotate", 0, 1048576, 0,
         "KB, ab denen eine Log-Datei als NAME.1 beiseitegelegt und neu begonnen wird; 0: nie"},
    };
    for (const Case& c : cases) {
        auto* spin = find<QSpinBox>(c.name);
        ASSERT_NE(spin, nullptr) << c.name;
        EXPECT_EQ(spin->minimum(), c.min) << c.name;
        EXPECT_EQ(spin->maximum(), c.max) << c.name;
        EXPECT_EQ(spin->value(), c.value) << c.name;
        EXPECT_EQ(spin->toolTip(), c.hint ? QString::fromUtf8(c.hint) : QString()) << c.name;
    }
}

TEST_F(SettingsControlsTest, EditsShowTheDefaultsAndPasswordsAreMasked) {
    const std::vector<std::pair<const char*, const char*>> edits{
        {"E_tags", "Export_Tags.TXT"}, {"e_host_ziel", "www.norvex.example"}, {"E_Host", "192.168.0.1"},
        {"E_User_name", "ax"},        {"ME_Pasword", "qwpl482"},             {"E_ftp_Port", "2121"},
        {"e_http_port", "3128"},      {"e_www_ext_ip", "http://ip.norvex.example/Scripts/IP.php"},
        {"e_user_ziel", ""},          {"ME_pwd_ziel", ""}};
    for (const auto& [name, text] : edits) {
        auto* e = find<QLineEdit>(name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_EQ(e->text(), QString::fromUtf8(text)) << name;
    }
    for (const char* name : {"E_logfile", "e_Transfer_Log", "e_ss_file"}) ASSERT_NE(find<QLineEdit>(name), nullptr);
    EXPECT_EQ(find<QLineEdit>("ME_pwd_ziel")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(find<QLineEdit>("ME_Pasword")->echoMode(), QLineEdit::Password);
    // The mask is a "*" per character, whatever the style's own mask would be.
    EXPECT_EQ(find<QLineEdit>("ME_Pasword")->displayText(), "*******");
    find<QLineEdit>("ME_pwd_ziel")->setText(QStringLiteral("abc"));
    EXPECT_EQ(find<QLineEdit>("ME_pwd_ziel")->displayText(), "***");
    EXPECT_EQ(find<QLineEdit>("e_user_ziel")->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(find<QPlainTextEdit>("m_ftp_pfad")->toPlainText(), "/\n/images\n/wetter\n/wetter/web\n/privat\n/home/user\n");
}

TEST_F(SettingsControlsTest, LabelsOfTheSchedulePage) {
    QStringList texts;
    for (QLabel* l : window->findChildren<QLabel*>()) texts << l->text();
    for (const char* t : {"Restart nach Online Error", "Sekunden", "Max Onlinedauer :", "letzter Start :",
                          "Intervall alle", "Log Datei", "max", "Transfer Log", "Pasword", "FTP Port", "HTTP Port",
                          "Timeout Millisek.", "Ziel", "Qualität"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t;
    EXPECT_EQ(find<QLabel>("Label12")->toolTip(), "Klick manueller Restart (nur im Notfall)");
    EXPECT_EQ(find<QRadioButton>("rb_intervall")->text(), "Intervall");
    EXPECT_EQ(find<QRadioButton>("rb_feste_zeiten")->text(), "feste Zeiten");
    EXPECT_TRUE(find<QRadioButton>("rb_intervall")->isChecked());
}

TEST_F(SettingsControlsTest, CalendarPlaceholdersHaveTheirShapes) {
    auto* hours = find<QTableWidget>("sg_std");
    auto* minutes = find<QTableWidget>("sg_min");
    ASSERT_NE(hours, nullptr);
    ASSERT_NE(minutes, nullptr);
    EXPECT_EQ(hours->columnCount(), 25);
    EXPECT_EQ(hours->rowCount(), 8);
    EXPECT_EQ(hours->item(0, 1)->text(), "0");
    EXPECT_EQ(hours->item(0, 24)->text(), "23");
    EXPECT_EQ(hours->item(1, 0)->text(), "So");
    EXPECT_EQ(hours->item(7, 0)->text(), "Sa");
    EXPECT_EQ(minutes->columnCount(), 60);
    EXPECT_EQ(minutes->rowCount(), 3);
    EXPECT_EQ(minutes->item(0, 37)->text(), "3");
    EXPECT_EQ(minutes->item(1, 37)->text(), "7");
}

TEST_F(SettingsControlsTest, EveryEditWritesThrough) {
    find<QLineEdit>("e_host_ziel")->setText("127.0.0.1");
    find<QLineEdit>("ME_pwd_ziel")->setText("geheim");
    find<QLineEdit>("e_Transfer_Log")->setText("/tmp/t.csv");
    find<QLineEdit>("e_on_error_command")->setText("/usr/local/bin/page-me \"the webcam\"");
    find<QCheckBox>("cb_proxy")->setChecked(true);
    find<QCheckBox>("cb_passiv")->setChecked(false);
    find<QCheckBox>("cb_ss_sw")->setChecked(true);
    find<QSpinBox>("se_interval")->setValue(125);
    find<QSpinBox>("se_ss_quali")->setValue(0);
    find<QSpinBox>("se_timeout_http")->setValue(2500);
    find<QPlainTextEdit>("m_ftp_pfad")->setPlainText("/a\nb\n");
    find<QRadioButton>("rb_feste_zeiten")->setChecked(true);
    const Settings& s = settings();
    EXPECT_EQ(s.e_host_ziel, "127.0.0.1");
    EXPECT_EQ(s.ME_pwd_ziel, "geheim");
    EXPECT_EQ(s.e_Transfer_Log, "/tmp/t.csv");
    EXPECT_EQ(s.e_on_error_command, "/usr/local/bin/page-me \"the webcam\"");
    EXPECT_TRUE(s.cb_proxy);
    EXPECT_FALSE(s.cb_passiv);
    EXPECT_TRUE(s.cb_ss_sw);
    EXPECT_EQ(s.se_interval.text, "125");
    EXPECT_EQ(s.se_ss_quali.text, "0");
    EXPECT_EQ(s.se_timeout_http.text, "2500");
    EXPECT_EQ(s.m_ftp_pfad, (std::vector<std::string>{"/a", "b", ""}));
    EXPECT_TRUE(s.rb_feste_zeiten);
    EXPECT_FALSE(s.rb_intervall);
}

TEST_F(SettingsControlsTest, RefreshShowsAChangedSettingsCopy) {
    Settings& s = settings();
    s.e_user_ziel = "anna";
    s.cb_mini_start = true;
    s.cb_passiv = false;
    s.se_max_log_zeilen.text = "1200";
    s.se_ss_quali.text = "keine Zahl";  // counts as the lower bound
    s.e_ss_file = "/home/anna/shot.jpg";
    s.m_ftp_pfad = {"/x", "/y"};
    window->refreshFromSettings();
    EXPECT_EQ(find<QLineEdit>("e_user_ziel")->text(), "anna");
    EXPECT_TRUE(find<QCheckBox>("cb_mini_start")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("cb_passiv")->isChecked());
    EXPECT_EQ(find<QSpinBox>("se_max_log_zeilen")->value(), 1200);
    EXPECT_EQ(find<QSpinBox>("se_ss_quali")->value(), 0);
    EXPECT_EQ(find<QLineEdit>("e_ss_file")->text(), "/home/anna/shot.jpg");
    EXPECT_EQ(find<QPlainTextEdit>("m_ftp_pfad")->toPlainText(), "/x\n/y");
    // Showing the copy is no edit of it.
    EXPECT_EQ(s.se_ss_quali.text, "keine Zahl");
    EXPECT_EQ(s.m_ftp_pfad, (std::vector<std::string>{"/x", "/y"}));
}

TEST_F(SettingsControlsTest, ModeButtonsShowEveryStoredCombination) {
    struct Case {
        bool intervall, feste;
        bool shownIntervall, shownFeste;
    };
    for (const Case& c : {Case{true, false, true, false}, Case{false, true, false, true},
                          Case{false, false, false, false}, Case{true, true, false, true}}) {
        settings().rb_intervall = c.intervall;
        settings().rb_feste_zeiten = c.feste;
        window->refreshFromSettings();
        EXPECT_EQ(find<QRadioButton>("rb_intervall")->isChecked(), c.shownIntervall);
        EXPECT_EQ(find<QRadioButton>("rb_feste_zeiten")->isChecked(), c.shownFeste);
        EXPECT_EQ(settings().rb_intervall, c.shownIntervall);
        EXPECT_EQ(settings().rb_feste_zeiten, c.shownFeste);
    }
    // Still one group after showing "neither": choosing one unchecks the other.
    find<QRadioButton>("rb_intervall")->setChecked(true);
    find<QRadioButton>("rb_feste_zeiten")->setChecked(true);
    EXPECT_FALSE(find<QRadioButton>("rb_intervall")->isChecked());
}

TEST_F(SettingsControlsTest, RestartDelayIsRaisedTo180) {
    auto* spin = find<QSpinBox>("se_restart");
    spin->setValue(100);
    EXPECT_EQ(spin->value(), 180);
    EXPECT_EQ(settings().RestartSeconds, 180);
    EXPECT_EQ(settings().se_restart.text, "180");
    spin->setValue(900);
    EXPECT_EQ(settings().RestartSeconds, 900);
}

TEST_F(SettingsControlsTest, SuchenPickersFillTheirFieldFromTheSharedDialog) {
    struct Case {
        const char* button;
        const char* edit;
        const char* title;
        const char* filter;
    };
    const Case cases[] = {
        {"b_tag", "E_tags", "Tag - Datei", "txt (*.txt)"},
        {"b_log", "E_logfile", "Log - Datei", "log (*.log)"},
        {"b_Transfer_Log", "e_Transfer_Log", "CSV - Datei", "csv (*.CSV)"},
        {"b_ss_file", "e_ss_file", "JPG - Datei", "jpg (*.jpg)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        const QString before = find<QLineEdit>(c.edit)->text();
        // Several files may be chosen; the first one counts.
        const QString first = QString::fromStdString((dir / "erste").string());
        dialogs.nextFiles({first, QString::fromStdString((dir / "zweite").string())});
        find<QPushButton>(c.button)->click();
        ASSERT_FALSE(dialogs.seen.empty());
        const ScriptedDialogs::Seen shown = dialogs.seen.back();
        EXPECT_EQ(shown.title, c.title);
        EXPECT_EQ(shown.nameFilters, QStringList{c.filter});
        EXPECT_EQ(shown.fileMode, QFileDialog::ExistingFiles);
        EXPECT_TRUE(shown.qtDialog);
        EXPECT_EQ(find<QLineEdit>(c.edit)->text(), first);
        EXPECT_EQ(settings().E_logfile == first.toStdString(), std::string(c.edit) == "E_logfile");

        dialogs.nextFiles({});  // cancelled: the field keeps its text
        find<QLineEdit>(c.edit)->setText(before);
        find<QPushButton>(c.button)->click();
        EXPECT_EQ(find<QLineEdit>(c.edit)->text(), before);
    }
}

TEST_F(SettingsControlsTest, SuchenPickersStartInTheFolderOfTheFieldsText) {
    std::filesystem::create_directories(dir / "logs");
    std::filesystem::create_directories(dir / "daten" / "tief");
    std::ofstream(dir / "logs" / "da.log") << "x";
    const std::string home = dir.string();
    struct Case {
        std::string text;
        std::string folder;
        std::string preset;
    };
    const Case cases[] = {
        {home + "/logs/da.log", home + "/logs", home + "/logs/da.log"},
        {home + "/logs/neu.log", home + "/logs", home + "/logs/neu.log"},
        // A relative name lies in the home folder.
        {"Export_Tags.TXT", home, home + "/Export_Tags.TXT"},
        {"daten/tief/x.txt", home + "/daten/tief", home + "/daten/tief/x.txt"},
        // A folder that does not exist: the nearest one above it that does.
        {home + "/daten/fehlt/noch/x.log", home + "/daten", home + "/daten/x.log"},
        // A name from another system holds no folder at all.
        {"c:\\VELORA.Log", home, home + "/c:\\VELORA.Log"},
        // Nothing to preset: the dialog offers no file.
        {"", home, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        find<QLineEdit>("E_logfile")->setText(QString::fromStdString(c.text));
        dialogs.nextFiles({});
        find<QPushButton>("b_log")->click();
        ASSERT_FALSE(dialogs.seen.empty());
        EXPECT_EQ(dialogs.seen.back().folder.toStdString(), c.folder);
        EXPECT_EQ(dialogs.seen.back().preset.join("|").toStdString(), c.preset);
    }
}

}  // namespace
}  // namespace velora::gui::test
