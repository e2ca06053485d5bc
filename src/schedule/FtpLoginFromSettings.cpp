#include "schedule/FtpLoginFromSettings.h"

namespace velora {

FtpLogin ftpLoginFromSettings(const Settings& settings) {
    FtpLogin login;
    login.host = settings.e_host_ziel;
    login.user = settings.e_user_ziel;
    login.password = settings.ME_pwd_ziel;
    login.passive = settings.cb_passiv;
    login.useProxy = settings.cb_proxy;
    login.proxyHost = settings.E_Host;
    login.proxyUser = settings.E_User_name;
    login.proxyPassword = settings.ME_Pasword;
    login.proxyPort = settings.E_ftp_Port;
    login.tls = settings.cb_ftp_tls;
    login.tlsFingerprint = settings.e_tls_fingerprint;
    login.tempRename = settings.cb_temp_rename;
    login.sftp = settings.cb_sftp;
    login.sftpPort = settings.se_sftp_port.value();
    login.sftpHostKey = settings.e_sftp_hostkey;
    login.sftpKeyFile = settings.e_sftp_keyfile;
    return login;
}

}  // namespace velora
