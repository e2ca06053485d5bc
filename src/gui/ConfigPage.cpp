#include "gui/ConfigPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "gui/Controls.h"
#include "gui/Guarded.h"
#include "platform/Environment.h"
#include "schedule/RunCycle.h"

namespace velora::gui {

ConfigPage::ConfigPage(Settings& settings, RunCycle& cycle, const Environment& env, UiHost& ui, QWidget* parent)
    : QWidget(parent), cycle_(cycle), env_(env), ui_(ui), binder_(settings) {
    auto* left = new QVBoxLayout;
    left->addWidget(buildStart());
    left->addWidget(buildFiles());
    left->addWidget(buildLogin());
    left->addWidget(buildProxy());
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(buildPresets(), 1);
    right->addWidget(buildSecureDetails());
    right->addWidget(buildExtIp());

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 3);
    top->addLayout(right, 2);
    binder_.refresh();
}

QWidget* ConfigPage::buildStart() {
    auto* box = groupBox(" Start ", "gb_start");
    auto* cb_activ = checkBox("cb_activ", "Aktiv");
    auto* cb_mini_start = checkBox("cb_mini_start", "Minimiert");
    binder_.bind(cb_activ, &Settings::cb_activ);
    binder_.bind(cb_mini_start, &Settings::cb_mini_start);
    connect(cb_activ, &QCheckBox::toggled, this, &ConfigPage::cb_activClick);
    auto* l = new QHBoxLayout(box);
    l->addWidget(cb_activ);
    l->addWidget(cb_mini_start);
    l->addStretch(1);
    return box;
}

QWidget* ConfigPage::buildFiles() {
    auto* box = groupBox(" Dateien ", "gb_dateien");
    auto* E_tags = lineEdit("E_tags");
    auto* cb_tag_datei = checkBox("cb_tag_datei", "Tag Datei");
    auto* b_tag = button("b_tag", "Suchen");
    auto* E_logfile = lineEdit("E_logfile");
    auto* b_log = button("b_log", "Suchen");
    auto* se_max = spinBox("se_max_log_zeilen", "Max Log Zeilen in der Anzeige");
    auto* e_Transfer_Log = lineEdit("e_Transfer_Log");
    auto* b_Transfer_Log = button("b_Transfer_Log", "Suchen");
    auto* se_ruhezeit = spinBox("se_ruhezeit", "Sekunden, die eine Datei unverändert sein muss, bevor sie gesendet wird");
    binder_.bind(E_tags, &Settings::E_tags);
    binder_.bind(cb_tag_datei, &Settings::cb_tag_datei);
    binder_.bind(E_logfile, &Settings::E_logfile);
    binder_.bind(se_max, &Settings::se_max_log_zeilen);
    binder_.bind(e_Transfer_Log, &Settings::e_Transfer_Log);
    binder_.bind(se_ruhezeit, &Settings::se_ruhezeit);
    auto* se_log_rotate = spinBox("se_log_rotate", "KB, ab denen eine Log-Datei als NAME.1 beiseitegelegt und neu begonnen wird; 0: nie");
    binder_.bind(se_log_rotate, &Settings::se_log_rotate);
    connect(b_tag, &QPushButton::clicked, this, &ConfigPage::b_tagClick);
    connect(b_log, &QPushButton::clicked, this, &ConfigPage::b_logClick);
    connect(b_Transfer_Log, &QPushButton::clicked, this, &ConfigPage::b_Transfer_LogClick);

    auto* g = new QGridLayout(box);
    g->addWidget(cb_tag_datei, 0, 0);
    g->addWidget(E_tags, 0, 1, 1, 3);
    g->addWidget(b_tag, 0, 4);
    g->addWidget(label("Log Datei"), 1, 0);
    g->addWidget(E_logfile, 1, 1);
    g->addWidget(label("max"), 1, 2);
    g->addWidget(se_max, 1, 3);
    g->addWidget(b_log, 1, 4);
    g->addWidget(label("Transfer Log"), 2, 0);
    g->addWidget(e_Transfer_Log, 2, 1, 1, 3);
    g->addWidget(b_Transfer_Log, 2, 4);
    auto* settle = new QHBoxLayout;
    settle->addWidget(se_ruhezeit);
    settle->addWidget(label("Sekunden"));
    settle->addStretch(1);
    g->addWidget(label("Ruhezeit"), 3, 0);
    g->addLayout(settle, 3, 1, 1, 3);
    auto* rotate = new QHBoxLayout;
    rotate->addWidget(se_log_rotate);
    rotate->addWidget(label("KB"));
    rotate->addStretch(1);
    g->addWidget(label("Logs rotieren ab"), 4, 0);
    g->addLayout(rotate, 4, 1, 1, 3);
    // Run without a shell when rows begin to fail and when they are sent again.
    auto* e_on_error_command = lineEdit("e_on_error_command");
    e_on_error_command->setToolTip("Programm, das läuft, wenn Zeilen zu scheitern beginnen und wenn sie wieder "
                                   "gesendet werden (ohne Shell; Wörter durch Leerzeichen getrennt, \"...\" "
                                   "hält Leerzeichen zusammen)");
    binder_.bind(e_on_error_command, &Settings::e_on_error_command);
    g->addWidget(label("Bei Fehler"), 5, 0);
    g->addWidget(e_on_error_command, 5, 1, 1, 4);
    g->setColumnStretch(1, 1);
    return box;
}

QWidget* ConfigPage::buildLogin() {
    auto* box = groupBox(" FTP Login ", "gb_login");
    auto* e_host_ziel = lineEdit("e_host_ziel");
    auto* e_user_ziel = lineEdit("e_user_ziel");
    auto* ME_pwd_ziel = passwordEdit("ME_pwd_ziel");
    auto* cb_passiv = checkBox("cb_passiv", "Passiv");
    auto* cb_ping = checkBox("cb_ping", "Onlinstatus Prüfen");
    auto* Button2 = button("Button2", "Test Onlinestatus");
    binder_.bind(e_host_ziel, &Settings::e_host_ziel);
    binder_.bind(e_user_ziel, &Settings::e_user_ziel);
    binder_.bind(ME_pwd_ziel, &Settings::ME_pwd_ziel);
    binder_.bind(cb_passiv, &Settings::cb_passiv);
    binder_.bind(cb_ping, &Settings::cb_ping);
    connect(cb_ping, &QCheckBox::clicked, this, &ConfigPage::cb_pingClick);
    connect(Button2, &QPushButton::clicked, this, &ConfigPage::Button2Click);

    auto* g = new QGridLayout(box);
    g->addWidget(label("Host"), 0, 0);
    g->addWidget(e_host_ziel, 0, 1, 1, 2);
    g->addWidget(label("User"), 1, 0);
    g->addWidget(e_user_ziel, 1, 1, 1, 2);
    g->addWidget(label("Pasword"), 2, 0);
    g->addWidget(ME_pwd_ziel, 2, 1, 1, 2);
    g->addWidget(cb_passiv, 3, 0);
    g->addWidget(cb_ping, 3, 1);
    g->addWidget(Button2, 3, 2);
    addSecureLogin(g, 3);
    g->setColumnStretch(1, 1);
    return box;
}

// The opt-in ways beyond plain FTP, switched on in " FTP Login " in a column of their
// own beside the login's lines (a further row would make the page taller than the
// window's designed height); their details sit in a group on the right.
void ConfigPage::addSecureLogin(QGridLayout* g, int column) {
    auto* cb_ftp_tls = checkBox("cb_ftp_tls", "FTPS (TLS)");
    auto* cb_temp_rename = checkBox("cb_temp_rename", "Temp-Name + Umbenennen");
    auto* cb_sftp = checkBox("cb_sftp", "SFTP (SSH)");
    binder_.bind(cb_ftp_tls, &Settings::cb_ftp_tls);
    binder_.bind(cb_temp_rename, &Settings::cb_temp_rename);
    binder_.bind(cb_sftp, &Settings::cb_sftp);
    g->addWidget(cb_ftp_tls, 0, column);
    g->addWidget(cb_temp_rename, 1, column);
    g->addWidget(cb_sftp, 2, column);
}

QWidget* ConfigPage::buildSecureDetails() {
    auto* box = groupBox(" FTPS / SFTP ", "gb_secure");
    auto* e_tls_fingerprint = lineEdit("e_tls_fingerprint");
    e_tls_fingerprint->setToolTip("SHA-256-Fingerprint des Server-Zertifikats (openssl x509 -noout -fingerprint "
                                  "-sha256); leer: die Zertifikate des Systems entscheiden");
    auto* se_sftp_port = spinBox("se_sftp_port", "Port des SSH-Servers");
    auto* e_sftp_hostkey = lineEdit("e_sftp_hostkey");
    e_sftp_hostkey->setToolTip("Host-Key des Servers wie ssh-keygen -l -E sha256 ihn zeigt (SHA256:...); "
                               "leer: ~/.ssh/known_hosts entscheidet");
    auto* e_sftp_keyfile = lineEdit("e_sftp_keyfile");
    e_sftp_keyfile->setToolTip("Privater Schlüssel (ohne Passphrase); leer: Anmeldung mit dem Pasword");
    binder_.bind(e_tls_fingerprint, &Settings::e_tls_fingerprint);
    binder_.bind(se_sftp_port, &Settings::se_sftp_port);
    binder_.bind(e_sftp_hostkey, &Settings::e_sftp_hostkey);
    binder_.bind(e_sftp_keyfile, &Settings::e_sftp_keyfile);

    auto* g = new QGridLayout(box);
    g->addWidget(label("TLS Fingerprint"), 0, 0);
    g->addWidget(e_tls_fingerprint, 0, 1, 1, 3);
    g->addWidget(label("SFTP Port"), 1, 0);
    g->addWidget(se_sftp_port, 1, 1);
    g->addWidget(label("Host-Key"), 2, 0);
    g->addWidget(e_sftp_hostkey, 2, 1, 1, 3);
    g->addWidget(label("Key-Datei"), 3, 0);
    g->addWidget(e_sftp_keyfile, 3, 1, 1, 3);
    g->setColumnStretch(2, 1);
    return box;
}

QWidget* ConfigPage::buildProxy() {
    auto* box = groupBox("  Proxy  ", "gb_proxy");
    auto* cb_proxy = checkBox("cb_proxy", "Proxy");
    auto* E_Host = lineEdit("E_Host");
    auto* E_User_name = lineEdit("E_User_name");
    auto* ME_Pasword = passwordEdit("ME_Pasword");
    auto* E_ftp_Port = lineEdit("E_ftp_Port");
    auto* e_http_port = lineEdit("e_http_port");
    binder_.bind(cb_proxy, &Settings::cb_proxy);
    binder_.bind(E_Host, &Settings::E_Host);
    binder_.bind(E_User_name, &Settings::E_User_name);
    binder_.bind(ME_Pasword, &Settings::ME_Pasword);
    binder_.bind(E_ftp_Port, &Settings::E_ftp_Port);
    binder_.bind(e_http_port, &Settings::e_http_port);
    connect(cb_proxy, &QCheckBox::clicked, this, &ConfigPage::cb_proxyClick);

    auto* g = new QGridLayout(box);
    g->addWidget(cb_proxy, 0, 0);
    g->addWidget(label("Host"), 1, 0);
    g->addWidget(E_Host, 1, 1);
    g->addWidget(label("FTP Port"), 1, 2);
    g->addWidget(E_ftp_Port, 1, 3);
    g->addWidget(label("User"), 2, 0);
    g->addWidget(E_User_name, 2, 1);
    g->addWidget(label("HTTP Port"), 2, 2);
    g->addWidget(e_http_port, 2, 3);
    g->addWidget(label("Pasword"), 3, 0);
    g->addWidget(ME_Pasword, 3, 1);
    g->setColumnStretch(1, 2);
    g->setColumnStretch(3, 1);
    return box;
}

QWidget* ConfigPage::buildPresets() {
    auto* box = groupBox(" FTP Ordner Vorgaben  ", "gb_ftp_pfad");
    auto* memo = named(new QPlainTextEdit, "m_ftp_pfad");
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    binder_.bind(memo, &Settings::m_ftp_pfad);
    auto* l = new QVBoxLayout(box);
    l->addWidget(memo);
    return box;
}

QWidget* ConfigPage::buildExtIp() {
    auto* box = groupBox(" für TAGs ext. IP abfragen ", "gb_ext_ip");
    auto* cb_get_ext_ip = checkBox("cb_get_ext_ip", "Ext. IP abfragen");
    auto* e_www_ext_ip = lineEdit("e_www_ext_ip");
    auto* se_timeout_http = spinBox("se_timeout_http", "Timeout im Millisekunden");
    binder_.bind(cb_get_ext_ip, &Settings::cb_get_ext_ip);
    binder_.bind(e_www_ext_ip, &Settings::e_www_ext_ip);
    binder_.bind(se_timeout_http, &Settings::se_timeout_http);
    connect(cb_get_ext_ip, &QCheckBox::clicked, this, &ConfigPage::cb_proxyClick);

    auto* g = new QGridLayout(box);
    g->addWidget(cb_get_ext_ip, 0, 0, 1, 2);
    g->addWidget(e_www_ext_ip, 1, 0, 1, 2);
    g->addWidget(label("Timeout Millisek."), 2, 0);
    g->addWidget(se_timeout_http, 2, 1);
    return box;
}

void ConfigPage::pickInto(QLineEdit* edit, const char* title, const char* filter) {
    guarded([&] { pickFileInto(ui_, edit, title, filter, env_.homeFolder()); });
}

void ConfigPage::b_tagClick() { pickInto(findChild<QLineEdit*>("E_tags"), "Tag - Datei", "txt|*.txt"); }

void ConfigPage::b_logClick() { pickInto(findChild<QLineEdit*>("E_logfile"), "Log - Datei", "log|*.log"); }

void ConfigPage::b_Transfer_LogClick() {
    pickInto(findChild<QLineEdit*>("e_Transfer_Log"), "CSV - Datei", "csv|*.CSV");
}

void ConfigPage::cb_activClick() {
    guarded([this] { cycle_.cb_activClick(); });
}

// The echo cannot pass the proxy: the core switches the check off with a word and
// has the window show the box again.
void ConfigPage::cb_pingClick() {
    guarded([this] { cycle_.cb_pingClick(); });
}

// "Proxy" and "Ext. IP abfragen" share this handler.
void ConfigPage::cb_proxyClick() {
    guarded([this] { cycle_.cb_proxyClick(); });
}

void ConfigPage::Button2Click() {
    guarded([this] { cycle_.Button2Click(); });
}

}  // namespace velora::gui
