#pragma once
// The program's registry: keys with typed values (text, 32-bit integer, 64-bit
// integer, byte block), kept in one SQLite file. Schema (stable; outside tools and
// tests write it too):
//
//   CREATE TABLE reg_keys   (path TEXT PRIMARY KEY COLLATE NOCASE);
//   CREATE TABLE reg_values (path TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE,
//                            type INTEGER NOT NULL,  -- 1 text, 3 byte block, 4 integer,
//                                                    -- 11 64-bit integer
//                            data BLOB NOT NULL,     -- integer: 4 or 8 bytes little-endian
//                            PRIMARY KEY (path, name));
//
// Key paths are written as the program names them ("\SOFTWARE\Norvex\Kesta\FTP") and
// compared without regard to case. One open-to-close of a key is one transaction; an
// error inside it keeps what was written before the error (the transaction is
// committed when the key closes, however it closes). Each open key has a connection
// of its own, so a second program on the same file waits for the first (busy
// time-out) instead of corrupting or losing a save.
//
// Two read-only keys describe the machine and are answered from the system instead
// of the file (see SystemInfo): "\SOFTWARE\Microsoft\Windows NT\CurrentVersion" and
// "\HARDWARE\DESCRIPTION\System\CentralProcessor\0".
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SystemInfo.h"

struct sqlite3;

namespace velora {

enum class RegType : int { Text = 1, Binary = 3, Integer = 4, Qword = 11 };

class Registry {
public:
    // The store file: $VELORA_REGISTRY if set, else $XDG_CONFIG_HOME/velora/registry.sqlite3
    // (XDG_CONFIG_HOME defaults to ~/.config).
    static std::string defaultPath();

    // Nothing is opened or created here; the file is created (mode 0600, folder made
    // when missing) by the first key opened for writing. A file that exists but is not
    // a store raises RegistryError naming the file, and is left exactly as it was.
    //
    // The store holds both passwords. Every open checks the file and its journal files
    // (-wal, -shm): one owned by another account is refused with RegistryError before
    // anything is read or written (its owner could read the passwords or choose where
    // our files go); one of ours that others may use is closed to them (group and other
    // bits cleared, so 0644 becomes 0600), which takeModeChanges() reports. A file that
    // is neither empty nor an SQLite database keeps its mode.
    explicit Registry(std::string filePath, SystemInfo system = {});
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    const std::string& filePath() const { return path_; }

    struct ModeChange {
        std::string file;
        unsigned before = 0;
        unsigned after = 0;
    };
    // The files closed to others since the last call, for the caller to log.
    std::vector<ModeChange> takeModeChanges();

    class Key {
    public:
        Key(Key&&) noexcept;
        Key& operator=(Key&&) noexcept;
        ~Key();  // commits what was written and closes
        void close();
        // Closes without keeping anything written since the key was opened (its
        // sub-keys' writes included): for a change that must happen whole or not at all.
        void discard();
        // A sub-key (created when missing) written in this key's transaction: what it
        // writes is kept or dropped with this key's. Use it only while this key is open.
        Key openSubKey(const std::string& name);

        bool valueExists(const std::string& name);
        // Missing text: "" (as the program's registry reader gives). Wrong type: wrongType.
        std::string readString(const std::string& name);
        // Missing: readFailed. Wrong type: wrongType.
        std::int32_t readInteger(const std::string& name);
        // A 64-bit integer, for totals that outgrow 32 bits. A 32-bit integer (such a
        // total as stored before) is read as unsigned. Missing: readFailed. Other
        // types: wrongType.
        std::uint64_t readQword(const std::string& name);
        bool readBool(const std::string& name) { return readInteger(name) != 0; }
        // Missing: readFailed. Wrong type: wrongType.
        std::vector<std::uint8_t> readBinary(const std::string& name);

        // Failure: writeFailed (also for a read-only key).
        void writeString(const std::string& name, const std::string& value);
        void writeInteger(const std::string& name, std::int32_t value);
        void writeQword(const std::string& name, std::uint64_t value);
        void writeBool(const std::string& name, bool value) { writeInteger(name, value ? 1 : 0); }
        void writeBinary(const std::string& name, const std::vector<std::uint8_t>& value);

    private:
        friend class Registry;
        struct Impl;
        explicit Key(std::unique_ptr<Impl> impl);
        std::unique_ptr<Impl> impl_;
    };

    bool keyExists(const std::string& keyPath);
    // Opens the key for reading and writing, creating it and its parents when missing.
    Key openKey(const std::string& keyPath);
    // Opens an existing key for reading only (the machine keys always exist); a missing
    // key raises RegistryError.
    Key openKeyReadOnly(const std::string& keyPath);

private:
    void guardFiles();

    std::string path_;
    SystemInfo system_;
    std::vector<ModeChange> modeChanges_;
};

}  // namespace velora
