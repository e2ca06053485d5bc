#include "platform/Errors.h"

#include <cerrno>
#include <cstdio>

namespace velora {

namespace {
std::string quoted(const char* pattern, const std::string& name) {
    std::string text = pattern;
    const auto at = text.find("%s");
    text.replace(at, 2, name);
    return text;
}
}  // namespace

IoError::IoError(int systemCode) : Error(textFor(systemCode)), code_(systemCode) {}

std::string IoError::textFor(int systemCode) {
    switch (systemCode) {
    case ENOENT:
    case ENOTDIR:
        return "Datei nicht gefunden";
    case EACCES:
    case EPERM:
    case EROFS:
        return "Dateizugriff verweigert";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "E/A-Fehler %d", systemCode);
        return text;
    }
    }
}

FileCreateError::FileCreateError(const std::string& path, int systemCode)
    : IoError("Datei \"" + path + "\" kann nicht erstellt werden. " + reasonFor(systemCode), systemCode) {}

std::string FileCreateError::reasonFor(int systemCode) {
    switch (systemCode) {
    case ENOENT:
    case ENOTDIR:
        // Creating a file only fails this way when a folder on its path is missing.
        return "Das System kann den angegebenen Pfad nicht finden";
    case EISDIR:
        return "Dateizugriff verweigert";
    default:
        return textFor(systemCode);
    }
}

RegistryError RegistryError::writeFailed(const std::string& valueName) {
    return RegistryError(quoted("Fehler beim Setzen der Daten für '%s'", valueName));
}

RegistryError RegistryError::readFailed(const std::string& valueName) {
    return RegistryError(quoted("Fehler beim Holen der Daten für '%s'", valueName));
}

RegistryError RegistryError::wrongType(const std::string& valueName) {
    return RegistryError(quoted("Ungültiger Datentyp für '%s'", valueName));
}

}  // namespace velora
