#pragma once
// The program's error kinds. Each carries the program's own text, which the front
// ends show as it stands (message box, stderr) and callers log with their prefixes.
#include <stdexcept>
#include <string>

namespace velora {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file operation failed: "Datei nicht gefunden", "Dateizugriff verweigert" or
// "E/A-Fehler %d". The code is the system's error number.
class IoError : public Error {
public:
    explicit IoError(int systemCode);
    int code() const { return code_; }
    static std::string textFor(int systemCode);

protected:
    IoError(const std::string& text, int systemCode) : Error(text), code_(systemCode) {}

private:
    int code_;
};

// A file that cannot be created or overwritten: "Datei "<name>" kann nicht erstellt
// werden. " followed by the system's reason.
class FileCreateError : public IoError {
public:
    FileCreateError(const std::string& path, int systemCode);
    static std::string reasonFor(int systemCode);
};

// The settings store refused a read or a write: "Fehler beim Setzen der Daten für '%s'",
// "Fehler beim Holen der Daten für '%s'", "Ungültiger Datentyp für '%s'", or a store
// file that cannot be opened (the text names the file).
class RegistryError : public Error {
public:
    using Error::Error;
    static RegistryError writeFailed(const std::string& valueName);
    static RegistryError readFailed(const std::string& valueName);
    static RegistryError wrongType(const std::string& valueName);
};

// The operating system's socket layer failed (refused, reset, unreachable, name not
// resolved); the text is the system's.
class SocketError : public Error {
public:
    using Error::Error;
};

// Everything else a network step can fail with: a server reply text, "Read Timeout",
// a bad number, a local file that cannot be opened.
class GeneralError : public Error {
public:
    using Error::Error;
};

}  // namespace velora
