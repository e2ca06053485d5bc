#pragma once
// The working copy of every control on the settings pages. Fields carry the names of
// the controls they stand for; the window writes through to them on every edit and
// refreshes itself from them after a load. Other parts read a setting here at the
// moment they need it, so an edit takes effect at once.
#include <string>
#include <vector>

#include "platform/Environment.h"

namespace velora {

// A spin field holds text like the control does; a text that is not a whole number
// counts as the lower bound.
struct SpinField {
    int minimum = 0;
    int maximum = 0;
    std::string text;

    int value() const;              // the number, or minimum when the text is none
    void setValue(int v);           // clamped into [minimum, maximum]
};

struct WindowGeometry {
    int left = 708, top = 236, width = 824, height = 682;
};

// Choices for the built-in defaults that name hosts; none of them exists here, and no
// test may contact them.
inline constexpr const char* kMakerDomain = "norvex.example";
inline constexpr const char* kMakerWebHost = "www.norvex.example";
inline constexpr const char* kDefaultProxyHost = "192.168.0.1";
inline constexpr const char* kDefaultExtIpPage = "http://ip.norvex.example/Scripts/IP.php";
inline constexpr const char* kFeedbackAddress = "feedback@norvex.example";

struct Settings {
    // Group " Start "
    bool cb_activ = false;          // "Aktiv"
    bool cb_mini_start = false;     // "Minimiert"
    // Page "Zeitsteuerung"
    bool rb_intervall = true;
    bool rb_feste_zeiten = false;
    SpinField se_interval{10, 3601, "60"};
    SpinField se_restart{10, 3601, "600"};
    int RestartSeconds = 600;
    // Group " Dateien "
    std::string E_tags = "Export_Tags.TXT";
    bool cb_tag_datei = false;      // "Tag Datei"
    std::string E_logfile;          // "Log Datei"
    SpinField se_max_log_zeilen{10, 3601, "600"};
    std::string e_Transfer_Log;     // "Transfer Log"
    // Group " FTP Login "
    std::string e_host_ziel = kMakerWebHost;
    std::string e_user_ziel;
    std::string ME_pwd_ziel;
    bool cb_passiv = true;
    bool cb_ping = false;           // "Onlinstatus Prüfen"
    // Group "  Proxy  "
    bool cb_proxy = false;
    std::string E_Host = kDefaultProxyHost;
    std::string E_User_name = "ax";
    std::string ME_Pasword = "qwpl482";
    std::string E_ftp_Port = "2121";
    std::string e_http_port = "3128";
    // Group " FTP Ordner Vorgaben  "
    std::vector<std::string> m_ftp_pfad{"/", "/images", "/wetter", "/wetter/web", "/privat", "/home/user", ""};
    // Group " für TAGs ext. IP abfragen "
    bool cb_get_ext_ip = false;
    std::string e_www_ext_ip = kDefaultExtIpPage;
    SpinField se_timeout_http{1000, 100000, "10000"};
    // Page "Tools", group " Screenshot "
    bool cb_ss_aktiv = false;
    std::string e_ss_file;
    SpinField se_ss_quali{0, 100, "80"};
    bool cb_ss_sw = false;          // "Grayscale"
    // The main window
    WindowGeometry window;
    // Group " Dateien ": seconds a file must lie unchanged before it is sent; a file
    // written more recently is waited for once, up to this long. 0: no wait.
    SpinField se_ruhezeit{0, 60, "2"};
    // Group " Dateien ": KB a log (event log, transfer log) may reach before it is
    // moved aside to NAME.1 and a new one begun. 0: never, as designed.
    SpinField se_log_rotate{0, 1048576, "0"};
    // Page "Config": a program run (without a shell) when a run's rows begin to fail
    // and again when they are all sent again. Empty: none.
    std::string e_on_error_command;
    // Group " FTP Login ": explicit FTPS. The connection is secured with "AUTH TLS"
    // before the login and never falls back to plain text; an empty fingerprint has the
    // system's trusted certificates and the host name decide, a SHA-256 fingerprint
    // trusts exactly that one certificate (a self-signed server's).
    bool cb_ftp_tls = false;        // "FTPS (TLS)"
    std::string e_tls_fingerprint;
    // Group " FTP Login ": every file is stored as NAME.part and renamed over NAME once
    // the server confirmed it, so the old file stays whole until then.
    bool cb_temp_rename = false;    // "Temp-Name + Umbenennen"
    // Group " FTP Login ": the export goes over SSH (SFTP) instead of FTP.
    bool cb_sftp = false;           // "SFTP (SSH)"
    SpinField se_sftp_port{1, 65535, "22"};
    std::string e_sftp_hostkey;     // "SHA256:..." as ssh-keygen -l -E sha256 prints it; empty: known_hosts
    std::string e_sftp_keyfile;     // a private key file; empty: password login

    // The built-in defaults; the three file names are the original names in the
    // user's home folder.
    static Settings defaults(const Environment& env);
};

}  // namespace velora
