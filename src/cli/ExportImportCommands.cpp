#include "cli/ExportImportCommands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>

#include "cli/CliCommands.h"
#include "cli/ConfigDocument.h"
#include "schedule/CalendarStore.h"
#include "settings/SettingsStore.h"
#include "settings/StoredRows.h"

namespace velora::cli {

std::string exportHelp() {
    return "Usage: velora-cli export FILE [--with-passwords]\n"
           "\n"
           "Writes the whole configuration to FILE (\"-\": standard output) as one readable\n"
           "JSON document: \"format\" \"velora-config\", \"version\" 1, the settings by their\n"
           "value names (as velora-cli config shows them), the column widths, the file table\n"
           "rows (Aktiv, TAG, Quelle, FTP Pfad, FTP Name), the FTP folder presets, the weekly\n"
           "calendar (per day as velora-cli calendar shows it) and the counters.\n"
           "Login_Pwd and Proxy_Pwd are written only with --with-passwords. The file is\n"
           "created readable by you alone. The store is not changed.\n";
}

std::string importHelp() {
    return "Usage: velora-cli import FILE\n"
           "\n"
           "Replaces the configuration with the document FILE (as velora-cli export writes\n"
           "it). The whole document is checked first; a document that is not JSON, cut\n"
           "short, of another format version, larger than 16 MiB, or has a bad field (the\n"
           "message names the first one) changes nothing. Otherwise everything is written\n"
           "in one transaction, exactly as \"Save Config\" and \"Kalender Speichern\" write it.\n"
           "A password the document does not hold (an export without --with-passwords)\n"
           "stays as it is in the store.\n"
           "A running daemon takes the change at its next SIGHUP (systemctl --user reload velora).\n";
}

namespace {

constexpr int kMaxColumnWidth = 10000;
constexpr int kMaxPresetLines = 1000;

// The stored configuration as "Load Config" applies it (without its log line).
Configuration readStoredConfig(const AdminContext& context) {
    StoredSettings stored = readStoredSettings(context);
    Configuration config{stored.settings, stored.counters, FileTable::startWidths(), {}, {}};
    {
        Registry::Key key = context.registry.openKeyReadOnly(kSettingsKey);
        for (int k = 0; k < kFileColumns; ++k) {
            const std::string name = "Breite_" + std::to_string(k);
            if (key.valueExists(name))
                config.widths[static_cast<std::size_t>(k)] = std::clamp(key.readInteger(name), 0, kMaxColumnWidth);
        }
        config.rows = readRowsAsLoaded(key, storedRowCount(key));
        if (key.valueExists("m_ftp_pfad_count")) {
            const int count = std::clamp(key.readInteger("m_ftp_pfad_count"), 0, kMaxPresetLines);
            config.settings.m_ftp_pfad.clear();
            for (int i = 0; i < count; ++i)
                config.settings.m_ftp_pfad.push_back(key.readString("m_ftp_pfad_" + std::to_string(i)));
        }
    }
    if (context.registry.keyExists(kCalendarKey)) {
        WeekCalendar calendar(config.counters);
        Registry::Key key = context.registry.openKeyReadOnly(kCalendarKey);
        CalendarStore::readDays(key, calendar);
        for (int d = 1; d <= 7; ++d) config.days[static_cast<std::size_t>(d)] = calendar.minutes(d);
    }
    return config;
}

std::string systemError(int code) { return std::strerror(code); }

// Written with mode 0600 (it may hold the passwords); never through a link.
std::string writeFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return systemError(errno);
    // A file that existed keeps its mode on O_TRUNC: close it to others before writing.
    if (::fchmod(fd, 0600) != 0) {
        const int code = errno;
        ::close(fd);
        return systemError(code);
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            ::close(fd);
            return systemError(code);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) return systemError(errno);
    return {};
}

struct FileText {
    std::string text;
    std::string error;
};

FileText readFile(const std::string& path) {
    FileText file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        file.error = systemError(errno);
        return file;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        file.error = "not a plain file";
    } else if (info.st_size > kMaxDocumentBytes) {
        file.error = std::to_string(info.st_size) + " bytes; a configuration document holds at most " +
                     std::to_string(kMaxDocumentBytes) + " bytes";
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                file.error = systemError(errno);
                break;
            }
            if (n == 0) break;
            file.text.append(buffer, static_cast<std::size_t>(n));
            // A file that grows while it is read is held to the same limit.
            if (static_cast<long long>(file.text.size()) > kMaxDocumentBytes) {
                file.error = "larger than " + std::to_string(kMaxDocumentBytes) + " bytes";
                break;
            }
        }
    }
    ::close(fd);
    if (!file.error.empty()) file.text.clear();
    return file;
}

}  // namespace

int runExport(const std::vector<std::string>& args, const AdminContext& context) {
    std::vector<std::string> files;
    bool withPasswords = false;
    for (const std::string& a : args) {
        if (a == "--with-passwords")
            withPasswords = true;
        else if (a.size() > 2 && a.compare(0, 2, "--") == 0)
            files.push_back("");  // an unknown option
        else
            files.push_back(a);
    }
    if (files.size() != 1 || files[0].empty()) {
        context.err << "export takes FILE [--with-passwords] (velora-cli export --help explains it)\n";
        return kFailed;
    }
    ensureStore(context);
    Configuration config = readStoredConfig(context);
    const std::string text = writeDocument(config, withPasswords);
    if (files[0] == "-") {
        context.out << text;
        return kOk;
    }
    const std::string error = writeFile(files[0], text);
    if (!error.empty()) {
        context.err << "Cannot write " << files[0] << ": " << error << '\n';
        return kFailed;
    }
    context.out << "Configuration written to " << files[0] << " (" << config.rows.size() << " rows"
                << (withPasswords ? ", with the passwords" : ", without the passwords") << ")\n";
    return kOk;
}

int runImport(const std::vector<std::string>& args, const AdminContext& context) {
    if (args.size() != 1 || args[0].empty() || args[0].compare(0, 2, "--") == 0) {
        context.err << "import takes FILE (velora-cli import --help explains it)\n";
        return kFailed;
    }
    const std::string& path = args[0];
    const FileText file = readFile(path);
    if (!file.error.empty()) {
        context.err << "Cannot import " << path << ": " << file.error << "; nothing was changed\n";
        return kFailed;
    }
    ReadDocument read = readDocument(file.text, context.env);
    if (!read.error.empty()) {
        context.err << "Cannot import " << path << ": " << read.error << "; nothing was changed\n";
        return kFailed;
    }
    Configuration& config = read.config;
    if ((!config.hasLoginPwd || !config.hasProxyPwd) && context.registry.keyExists(kSettingsKey)) {
        const StoredSettings current = readStoredSettings(context);
        if (!config.hasLoginPwd) config.settings.ME_pwd_ziel = current.settings.ME_pwd_ziel;
        if (!config.hasProxyPwd) config.settings.ME_Pasword = current.settings.ME_Pasword;
    }
    FileTable table;
    table.setRows(config.rows);
    for (int k = 0; k < kFileColumns; ++k) table.setColumnWidth(k, config.widths[static_cast<std::size_t>(k)]);
    WeekCalendar calendar(config.counters);
    for (int d = 1; d <= 7; ++d) calendar.minutes(d) = config.days[static_cast<std::size_t>(d)];

    Registry::Key key = context.registry.openKey(kSettingsKey);
    try {
        SettingsStore::writeConfig(key, config.settings, table, config.counters);
        for (int d = 1; d <= 7; ++d) {
            const auto i = static_cast<std::size_t>(d);
            key.writeInteger("Send_Files_" + std::to_string(d), config.counters.filesPerWeekday[i]);
            key.writeInteger("Send_Bytes_" + std::to_string(d), config.counters.bytesPerWeekday[i]);
        }
        Registry::Key days = key.openSubKey("Kalender");
        CalendarStore::writeDays(days, calendar);
    } catch (...) {
        key.discard();
        throw;
    }
    key.close();
    context.out << "Configuration imported from " << path << " (" << config.rows.size() << " rows)\n";
    tellDaemon(context.out);
    return kOk;
}

}  // namespace velora::cli
