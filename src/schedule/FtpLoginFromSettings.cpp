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
    return login;
}

}  // namespace velora
