#pragma once
// Where the FTP login comes from: the "FTP Login" and "Proxy" fields of the settings,
// the password included, taken for each connect as they are at that moment.
#include "ftp/FtpLogin.h"
#include "settings/Settings.h"

namespace velora {

FtpLogin ftpLoginFromSettings(const Settings& settings);

}  // namespace velora
