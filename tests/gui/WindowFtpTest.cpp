// The window's run buttons against a real FTP server (pyftpdlib on 127.0.0.1, port 21
// when it may be bound): the settings are typed into the Config page, the buttons are
// clicked, and what the user would see (status bar, button panel, grid, log view) and
// what arrives on the server are checked.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "GuiTestSupport.h"
#include "gui/ButtonPanel.h"
#include "gui/FileTableModel.h"
#include "gui/FilesPage.h"
#include "gui/StatusBar.h"
#include "gui/TextViewMirror.h"
#include "ftp/FtpSession.h"
#include "integration/support/PyFtpServer.h"
#include "platform/FileIo.h"
#include "support/SampleSystemInfo.h"

namespace velora::gui::test {
namespace {

using velora::test::PyFtpServer;

const QColor kLime(0, 255, 0);

class WindowFtpTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        server = PyFtpServer::onPort21OrFree();
        std::filesystem::create_directory(server->pathOf("daten"));
        // The tag table reads the machine keys; a run stops at the first one missing.
        systemInfo = velora::test::sampleSystemInfo();
        makeWindow();
        window->startUp();
        ASSERT_TRUE(errors.empty()) << errors.front();
        // The ticks come from click(), never from the real clock in the middle of a run.
        window->timer1()->stop();
        if (server->port() != 21) program->ftp().setServerPort(server->port());
        type("e_host_ziel", "127.0.0.1");
        type("e_user_ziel", PyFtpServer::kWriteUser);
        type("ME_pwd_ziel", PyFtpServer::kPassword);
        // The sources are written a moment before each run while the test clock stands
        // still; waiting for young files is tested where file ages are scripted.
        find<QSpinBox>("se_ruhezeit")->setValue(0);
        plainPath = writeSource("messwerte.csv", kPlain);
        tagPath = writeSource("stand.htm", kTagged);
        FileTable& t = program->files();
        t.setRowCount(2);
        t.setRow(1, {"1", "Ja", "Ja", tagPath, "/", "stand.htm", "0", "0", "No", ""});
        t.setRow(2, {"2", "Ja", "No", plainPath, "/daten", "werte.csv", "0", "0", "No", ""});
    }
    void TearDown() override {
        GuiTest::TearDown();
        server.reset();
    }

    void type(const char* name, const std::string& text) {
        QLineEdit* edit = find<QLineEdit>(name);
        ASSERT_NE(edit, nullptr) << name;
        edit->setText(QString::fromStdString(text));
    }
    std::string writeSource(const std::string& name, const std::string& bytes) const {
        const std::string path = (dir / name).string();
        fileio::writeAll(path, bytes);
        return path;
    }
    // Clicks a button of Panel1, then lets the one-second timer tick once so the status
    // bar shows the state the click left.
    void click(const char* name) {
        QPushButton* b = window->panel1()->button(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
        window->Timer1Timer();
        EXPECT_TRUE(errors.empty()) << name << ": " << errors.front();
    }
    QString shownMsg(int coreRow) const {
        FileTableModel* m = window->filesPage()->model();
        return m->data(m->index(FileTableModel::qtRow(coreRow), Msg), Qt::DisplayRole).toString();
    }
    QString statusPanel(int i) const { return window->statusBar1()->panel(i)->text(); }
    QColor panelColour() const { return window->panel1()->palette().color(QPalette::Window); }
    // The log view's lines without their 20 characters of date and time.
    QStringList logTexts() const {
        QStringList out;
        const auto* memo = window->findChild<TextViewMirror*>(QStringLiteral("Memo1"));
        for (const QString& line : memo->toPlainText().split(QLatin1Char('\n'))) out << line.mid(20);
        return out;
    }
    std::string onServer(const std::string& relative) const { return fileio::readAll(server->pathOf(relative)); }

    static constexpr const char* kTagged = "<p>Stand: [SYS_DATE]</p>\n<p>[UNBEKANNT]</p>\n";
    static constexpr std::size_t kTaggedCopySize = 46;   // with the date and CR LF
    const std::string kPlain{"Datum;Wert\r\n08.12.2026;17,5\r\n\0\xff\n", 33};
    std::unique_ptr<PyFtpServer> server;
    std::string plainPath;
    std::string tagPath;
};

TEST_F(WindowFtpTest, ConnectReadSendDisconnectThenStartSendsOnlyTheChangedFile) {
    window->Timer1Timer();
    ASSERT_EQ(statusPanel(2), "Offline");

    click("B_connect");
    EXPECT_EQ(statusPanel(2), "Online");
    EXPECT_EQ(panelColour(), kLime);
    EXPECT_TRUE(logTexts().contains("ONLINE"));

    click("B_einlesen");
    EXPECT_EQ(shownMsg(1), "NEU");
    EXPECT_EQ(shownMsg(2), "NEU");

    click("B_versenden");
    EXPECT_EQ(shownMsg(1), "Send");
    EXPECT_EQ(shownMsg(2), "Send");
    EXPECT_EQ(onServer("daten/werte.csv"), kPlain);
    // The tag copy: date filled in, an unknown tag left standing, CR LF line breaks.
    EXPECT_EQ(onServer("stand.htm"), "<p>Stand: 08.12.2026</p>\r\n<p>[UNBEKANNT]</p>\r\n");
    EXPECT_EQ(fileio::readAll(tagPath), kTagged);   // the source keeps its placeholders
    EXPECT_EQ(statusPanel(2), "Online");

    click("B_Disconnect");
    EXPECT_EQ(statusPanel(2), "Offline");
    EXPECT_NE(panelColour(), kLime);

    // Only a file sent again comes back to the server.
    std::filesystem::remove(server->pathOf("stand.htm"));
    const std::string changed = "Datum;Wert\r\n09.12.2026;3,25\r\n";
    fileio::writeAll(plainPath, changed);
    std::filesystem::last_write_time(plainPath,
                                     std::filesystem::last_write_time(plainPath) + std::chrono::hours(1));
    clock.set({2026, 12, 8, 14, 30, 0, 0, 3});

    click("B_Start");

    EXPECT_EQ(shownMsg(1), "OK");
    EXPECT_EQ(shownMsg(2), "Send");
    EXPECT_EQ(onServer("daten/werte.csv"), changed);
    EXPECT_FALSE(std::filesystem::exists(server->pathOf("stand.htm")));
    EXPECT_EQ(window->pages()->currentIndex(), QtUiHost::kLogPage);
    EXPECT_EQ(statusPanel(2), "Offline");
    EXPECT_NE(panelColour(), kLime);
    EXPECT_EQ(logTexts().count("ONLINE"), 2);
    EXPECT_EQ(fileio::readAll(program->settings().e_Transfer_Log),
              "Datum;Zeit;Dauer;Anzahl;Bytes\r\n"
              "08.12.2026;14:05:09;00:00:00;2;" + std::to_string(kPlain.size() + kTaggedCopySize) + ";\r\n"
              "08.12.2026;14:30:00;00:00:00;1;" + std::to_string(changed.size()) + ";\r\n")
        << logTexts().join(QLatin1Char('\n')).toStdString();
}

TEST_F(WindowFtpTest, StartOnAnUnchangedTableDoesNotConnect) {
    click("B_Start");
    ASSERT_EQ(shownMsg(1), "Send");
    ASSERT_EQ(shownMsg(2), "Send");
    const std::string transferLog = fileio::readAll(program->settings().e_Transfer_Log);

    click("B_Start");

    EXPECT_EQ(shownMsg(1), "OK");
    EXPECT_EQ(shownMsg(2), "OK");
    EXPECT_EQ(logTexts().count("ONLINE"), 1);
    EXPECT_TRUE(logTexts().contains(" - - - Nichts geändert. - - -"));
    EXPECT_EQ(fileio::readAll(program->settings().e_Transfer_Log), transferLog);
    EXPECT_EQ(statusPanel(2), "Offline");
}

// Logged in read-only or not at all: the rows show "Error", nothing arrives, and the
// window stays usable for the next click.
TEST_F(WindowFtpTest, RefusedStoresOrLoginShowErrorInTheGrid) {
    struct Case {
        const char* user;
        const char* password;
        bool online;
    };
    for (const Case& c : {Case{PyFtpServer::kReadUser, PyFtpServer::kPassword, true},
                          Case{PyFtpServer::kWriteUser, "falsch", false}}) {
        SCOPED_TRACE(std::string(c.user) + "/" + c.password);
        type("e_user_ziel", c.user);
        type("ME_pwd_ziel", c.password);
        click("B_connect");
        EXPECT_EQ(statusPanel(2), c.online ? "Online" : "Offline");
        EXPECT_EQ(panelColour() == kLime, c.online);
        click("B_einlesen");
        click("B_versenden");
        EXPECT_EQ(shownMsg(1), "Error");
        EXPECT_EQ(shownMsg(2), "Error");
        EXPECT_FALSE(std::filesystem::exists(server->pathOf("daten/werte.csv")));
        click("B_Disconnect");
        EXPECT_EQ(statusPanel(2), "Offline");
    }
}

}  // namespace
}  // namespace velora::gui::test
