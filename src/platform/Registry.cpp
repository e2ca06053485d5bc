#include "platform/Registry.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

namespace velora {

namespace {

constexpr int kBusyTimeoutMs = 10000;

const char* const kCreateKeys =
    "CREATE TABLE IF NOT EXISTS reg_keys (path TEXT PRIMARY KEY COLLATE NOCASE)";
const char* const kCreateValues =
    "CREATE TABLE IF NOT EXISTS reg_values (path TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY (path, name))";

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// "SOFTWARE\X\" and "\SOFTWARE\X" name the same key; keys are kept in the second form.
std::string normalizedKeyPath(const std::string& keyPath) {
    std::string path = keyPath;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    if (path.empty() || path.front() != '\\') path.insert(path.begin(), '\\');
    return path;
}

template <typename Map>
auto findIgnoringCase(Map& values, const std::string& name) {
    for (auto it = values.begin(); it != values.end(); ++it)
        if (sameIgnoringCase(it->first, name)) return it;
    return values.end();
}

// --- sqlite handles --------------------------------------------------------------

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    bool bindText(int index, const std::string& text) {
        return ok() && sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                         SQLITE_TRANSIENT) == SQLITE_OK;
    }
    bool bindBlob(int index, const void* data, std::size_t size) {
        if (!ok()) return false;
        // A zero-length block must still be a block, never NULL (the column is NOT NULL).
        if (size == 0) return sqlite3_bind_zeroblob(stmt_, index, 0) == SQLITE_OK;
        return sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    }
    bool bindInt(int index, int value) {
        return ok() && sqlite3_bind_int(stmt_, index, value) == SQLITE_OK;
    }
    int step() { return ok() ? sqlite3_step(stmt_) : SQLITE_ERROR; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// --- the store file --------------------------------------------------------------

[[noreturn]] void failOpen(const std::string& file, const std::string& reason) {
    throw RegistryError("Die Registrierungsdatei '" + file + "' kann nicht geöffnet werden: " +
                        reason);
}

std::string systemText(int code) { return IoError::textFor(code); }

// A new entry survives a power cut only once the folder holding it is on the disk;
// until then the file (and every setting saved into it) may vanish with the entry.
void syncFolder(const std::string& folder, const std::string& file) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) failOpen(file, systemText(errno));
    const int failed = ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    if (failed != 0) failOpen(file, systemText(failed));
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates each missing folder level, private to the user like the file itself.
void createFolders(const std::string& file) {
    const std::string folder = paths::folderPartWithSlash(file);
    for (std::size_t pos = 1; pos < folder.size(); ++pos) {
        if (folder[pos] != '/') continue;
        const std::string level = folder.substr(0, pos);
        if (::mkdir(level.c_str(), 0700) == 0) {
            syncFolder(parentOf(level), file);
        } else if (errno != EEXIST) {
            failOpen(file, systemText(errno));
        }
    }
}

// Makes sure the file exists before sqlite sees it, so it is born with mode 0600
// whatever the umask (sqlite would create it 0644).
void createFileIfMissing(const std::string& file) {
    createFolders(file);
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        const int failed = ::fchmod(fd, 0600) != 0 ? errno : 0;
        ::close(fd);
        if (failed != 0) failOpen(file, systemText(failed));
        syncFolder(parentOf(file), file);
        return;
    }
    if (errno != EEXIST) failOpen(file, systemText(errno));
}

// Whether the file is empty or an SQLite database: only then is it ours to change
// before it has been looked into (anything else must stay exactly as it is).
bool mayBeStore(const std::string& file) {
    static const char kHeader[16] = "SQLite format 3";   // with its NUL, as in the file
    char start[sizeof kHeader] = {};
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, start, sizeof start);
    ::close(fd);
    return n == 0 || (n == sizeof start && std::memcmp(start, kHeader, sizeof start) == 0);
}

// Refuses a store file of another account; with `close`, closes one of ours to
// others and returns the mode change made. A missing file is left to the caller.
std::optional<Registry::ModeChange> guardFile(const std::string& file, const std::string& store, bool close) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return std::nullopt;
    const std::string subject = file == store ? "sie" : file;
    if (info.st_uid != ::geteuid()) failOpen(store, subject + " gehört einem anderen Benutzer");
    if (!S_ISREG(info.st_mode)) failOpen(store, subject + " ist keine gewöhnliche Datei");
    if (!close || (info.st_mode & 077) == 0) return std::nullopt;
    // The owner's own bits stay: a store made read-only stays read-only.
    const unsigned before = info.st_mode & 07777;
    const unsigned after = info.st_mode & 0700;
    if (::chmod(file.c_str(), after) != 0) failOpen(store, systemText(errno));
    return Registry::ModeChange{file, before, after};
}

bool fileExists(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0;
}

enum class StoreState { Empty, Ready };

bool hasColumns(sqlite3* db, const char* table, std::initializer_list<const char*> wanted) {
    const std::string sql = std::string("PRAGMA table_info(") + table + ")";
    Statement info(db, sql.c_str());
    std::vector<std::string> columns;
    while (info.step() == SQLITE_ROW)
        columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1)));
    for (const char* name : wanted) {
        bool found = false;
        for (const auto& column : columns) found = found || sameIgnoringCase(column, name);
        if (!found) return false;
    }
    return true;
}

// Reads only: a file that is not a store must come out of this byte for byte as it
// went in, so nothing is written before it has passed.
StoreState inspect(sqlite3* db, const std::string& file) {
    Statement master(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!master.ok()) failOpen(file, sqlite3_errmsg(db));
    bool keys = false;
    bool values = false;
    int otherTables = 0;
    int rc;
    while ((rc = master.step()) == SQLITE_ROW) {
        const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(master.get(), 0));
        if (sameIgnoringCase(name, "reg_keys")) keys = true;
        else if (sameIgnoringCase(name, "reg_values")) values = true;
        else ++otherTables;
    }
    if (rc != SQLITE_DONE) failOpen(file, sqlite3_errmsg(db));
    if (keys && !hasColumns(db, "reg_keys", {"path"}))
        failOpen(file, "die Tabelle reg_keys hat nicht die erwarteten Spalten");
    if (values && !hasColumns(db, "reg_values", {"path", "name", "type", "data"}))
        failOpen(file, "die Tabelle reg_values hat nicht die erwarteten Spalten");
    // Another program's database is not ours to add tables to.
    if (!keys && !values && otherTables > 0) failOpen(file, "keine Registrierungsdatenbank");
    return keys && values ? StoreState::Ready : StoreState::Empty;
}

Db connect(const std::string& file, bool forWriting) {
    sqlite3* raw = nullptr;
    // Readers open read-write too when they may: a read-only connection cannot set up
    // the shared-memory index of a WAL file that nobody else has open.
    const bool canWrite = forWriting || ::access(file.c_str(), W_OK) == 0;
    const int flags = (canWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) failOpen(file, raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    sqlite3_extended_result_codes(db.get(), 1);
    return db;
}

bool keyRowExists(sqlite3* db, const std::string& keyPath) {
    Statement query(db,
                    "SELECT 1 WHERE EXISTS (SELECT 1 FROM reg_keys WHERE path = ?1)"
                    " OR EXISTS (SELECT 1 FROM reg_values WHERE path = ?1)");
    return query.bindText(1, keyPath) && query.step() == SQLITE_ROW;
}

std::vector<std::string> keyAndParents(const std::string& keyPath) {
    std::vector<std::string> levels;
    for (std::size_t pos = 1; pos <= keyPath.size(); ++pos)
        if (pos == keyPath.size() || keyPath[pos] == '\\') levels.push_back(keyPath.substr(0, pos));
    return levels;
}

bool isMachineKey(const std::string& keyPath) {
    return sameIgnoringCase(keyPath, kOsKey) || sameIgnoringCase(keyPath, kCpuKey);
}

}  // namespace

// --- Key -------------------------------------------------------------------------

struct Registry::Key::Impl {
    std::shared_ptr<sqlite3> db;   // empty for a machine key; shared with its sub-keys
    std::string keyPath;
    bool writable = false;
    bool inTransaction = false;
    std::map<std::string, std::string> machineTexts;
    std::map<std::string, std::int32_t> machineIntegers;

    ~Impl() {
        try {
            finish();
        } catch (...) {
            // A destructor cannot report; close() is there for callers that want to know.
        }
    }

    void finish() {
        if (!db || !inTransaction) return;
        inTransaction = false;
        if (!execute(db.get(), "COMMIT")) {
            const std::string reason = sqlite3_errmsg(db.get());
            execute(db.get(), "ROLLBACK");
            throw RegistryError("Fehler beim Speichern des Schlüssels '" + keyPath + "': " + reason);
        }
    }

    // Type and bytes of a stored value; nullopt when it is missing.
    struct Stored {
        int type;
        std::string bytes;
        std::optional<std::int64_t> plainInteger;  // an INTEGER written by an outside tool
    };
    std::optional<Stored> load(const std::string& name) {
        Statement query(db.get(), "SELECT type, data FROM reg_values WHERE path = ? AND name = ?");
        if (!query.bindText(1, keyPath) || !query.bindText(2, name))
            throw RegistryError::readFailed(name);
        const int rc = query.step();
        if (rc == SQLITE_DONE) return std::nullopt;
        if (rc != SQLITE_ROW) throw RegistryError::readFailed(name);
        Stored stored;
        stored.type = sqlite3_column_int(query.get(), 0);
        if (sqlite3_column_type(query.get(), 1) == SQLITE_INTEGER)
            stored.plainInteger = sqlite3_column_int64(query.get(), 1);
        const void* data = sqlite3_column_blob(query.get(), 1);
        const int size = sqlite3_column_bytes(query.get(), 1);
        if (data != nullptr && size > 0) stored.bytes.assign(static_cast<const char*>(data), size);
        return stored;
    }

    void store(const std::string& name, RegType type, const void* data, std::size_t size) {
        if (!db || !writable) throw RegistryError::writeFailed(name);
        Statement insert(db.get(),
                         "INSERT OR REPLACE INTO reg_values (path, name, type, data)"
                         " VALUES (?, ?, ?, ?)");
        const bool bound = insert.bindText(1, keyPath) && insert.bindText(2, name) &&
                           insert.bindInt(3, static_cast<int>(type));
        if (!bound) throw RegistryError::writeFailed(name);
        const bool ok = type == RegType::Text
                            ? insert.bindText(4, std::string(static_cast<const char*>(data), size))
                            : insert.bindBlob(4, data, size);
        if (!ok || insert.step() != SQLITE_DONE) throw RegistryError::writeFailed(name);
    }
};

Registry::Key::Key(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Registry::Key::Key(Key&&) noexcept = default;
Registry::Key& Registry::Key::operator=(Key&&) noexcept = default;
Registry::Key::~Key() = default;

void Registry::Key::close() {
    if (!impl_) return;
    std::unique_ptr<Impl> impl = std::move(impl_);
    impl->finish();
}

void Registry::Key::discard() {
    if (!impl_) return;
    std::unique_ptr<Impl> impl = std::move(impl_);
    if (impl->db && impl->inTransaction) {
        impl->inTransaction = false;
        execute(impl->db.get(), "ROLLBACK");
    }
}

Registry::Key Registry::Key::openSubKey(const std::string& name) {
    if (!impl_ || !impl_->db || !impl_->writable || !impl_->inTransaction) throw RegistryError::writeFailed(name);
    auto sub = std::make_unique<Impl>();
    sub->keyPath = normalizedKeyPath(impl_->keyPath + "\\" + name);
    sub->writable = true;
    sub->db = impl_->db;
    for (const auto& level : keyAndParents(sub->keyPath)) {
        Statement insert(sub->db.get(), "INSERT OR IGNORE INTO reg_keys (path) VALUES (?)");
        if (!insert.bindText(1, level) || insert.step() != SQLITE_DONE) throw RegistryError::writeFailed(name);
    }
    return Key(std::move(sub));
}

bool Registry::Key::valueExists(const std::string& name) {
    if (!impl_) return false;
    if (!impl_->db)
        return findIgnoringCase(impl_->machineTexts, name) != impl_->machineTexts.end() ||
               findIgnoringCase(impl_->machineIntegers, name) != impl_->machineIntegers.end();
    return impl_->load(name).has_value();
}

std::string Registry::Key::readString(const std::string& name) {
    if (!impl_) throw RegistryError::readFailed(name);
    if (!impl_->db) {
        const auto text = findIgnoringCase(impl_->machineTexts, name);
        if (text != impl_->machineTexts.end()) return text->second;
        if (findIgnoringCase(impl_->machineIntegers, name) != impl_->machineIntegers.end())
            throw RegistryError::wrongType(name);
        return {};
    }
    const auto stored = impl_->load(name);
    if (!stored) return {};
    if (stored->type != static_cast<int>(RegType::Text)) throw RegistryError::wrongType(name);
    return stored->bytes;
}

std::int32_t Registry::Key::readInteger(const std::string& name) {
    if (!impl_) throw RegistryError::readFailed(name);
    if (!impl_->db) {
        const auto number = findIgnoringCase(impl_->machineIntegers, name);
        if (number != impl_->machineIntegers.end()) return number->second;
        if (findIgnoringCase(impl_->machineTexts, name) != impl_->machineTexts.end())
            throw RegistryError::wrongType(name);
        throw RegistryError::readFailed(name);
    }
    const auto stored = impl_->load(name);
    if (!stored) throw RegistryError::readFailed(name);
    if (stored->type != static_cast<int>(RegType::Integer)) throw RegistryError::wrongType(name);
    if (stored->plainInteger) {
        const std::int64_t plain = *stored->plainInteger;
        if (plain < INT32_MIN || plain > INT32_MAX) throw RegistryError::wrongType(name);
        return static_cast<std::int32_t>(plain);
    }
    if (stored->bytes.size() != 4) throw RegistryError::wrongType(name);
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(stored->bytes[static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(value);
}

std::uint64_t Registry::Key::readQword(const std::string& name) {
    // The machine keys hold 32-bit numbers only.
    if (!impl_ || !impl_->db) return static_cast<std::uint32_t>(readInteger(name));
    const auto stored = impl_->load(name);
    if (!stored) throw RegistryError::readFailed(name);
    if (stored->type == static_cast<int>(RegType::Integer)) return static_cast<std::uint32_t>(readInteger(name));
    if (stored->type != static_cast<int>(RegType::Qword)) throw RegistryError::wrongType(name);
    if (stored->plainInteger) return static_cast<std::uint64_t>(*stored->plainInteger);
    if (stored->bytes.size() != 8) throw RegistryError::wrongType(name);
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(stored->bytes[static_cast<std::size_t>(i)]);
    return value;
}

std::vector<std::uint8_t> Registry::Key::readBinary(const std::string& name) {
    if (!impl_) throw RegistryError::readFailed(name);
    if (!impl_->db) {
        const bool known = findIgnoringCase(impl_->machineTexts, name) != impl_->machineTexts.end() ||
                           findIgnoringCase(impl_->machineIntegers, name) !=
                               impl_->machineIntegers.end();
        if (known) throw RegistryError::wrongType(name);
        throw RegistryError::readFailed(name);
    }
    const auto stored = impl_->load(name);
    if (!stored) throw RegistryError::readFailed(name);
    if (stored->type != static_cast<int>(RegType::Binary)) throw RegistryError::wrongType(name);
    return std::vector<std::uint8_t>(stored->bytes.begin(), stored->bytes.end());
}

void Registry::Key::writeString(const std::string& name, const std::string& value) {
    if (!impl_) throw RegistryError::writeFailed(name);
    impl_->store(name, RegType::Text, value.data(), value.size());
}

void Registry::Key::writeInteger(const std::string& name, std::int32_t value) {
    if (!impl_) throw RegistryError::writeFailed(name);
    const auto bits = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                   static_cast<std::uint8_t>(bits >> 16),
                                   static_cast<std::uint8_t>(bits >> 24)};
    impl_->store(name, RegType::Integer, bytes, sizeof bytes);
}

void Registry::Key::writeQword(const std::string& name, std::uint64_t value) {
    if (!impl_) throw RegistryError::writeFailed(name);
    std::uint8_t bytes[8];
    for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    impl_->store(name, RegType::Qword, bytes, sizeof bytes);
}

void Registry::Key::writeBinary(const std::string& name, const std::vector<std::uint8_t>& value) {
    if (!impl_) throw RegistryError::writeFailed(name);
    impl_->store(name, RegType::Binary, value.data(), value.size());
}

// --- Registry --------------------------------------------------------------------

std::string Registry::defaultPath() {
    SystemEnvironment env;
    const std::string own = env.get("VELORA_REGISTRY");
    if (!own.empty()) return own;
    std::string config = env.get("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is to be ignored.
    if (config.empty() || config.front() != '/') config = paths::join(env.homeFolder(), ".config");
    return paths::join(config, "velora/registry.sqlite3");
}

Registry::Registry(std::string filePath, SystemInfo system)
    : path_(std::move(filePath)), system_(std::move(system)) {}

Registry::~Registry() = default;

std::vector<Registry::ModeChange> Registry::takeModeChanges() { return std::exchange(modeChanges_, {}); }

// Before sqlite opens anything: it gives the journal files it creates the store's mode.
void Registry::guardFiles() {
    const bool store = mayBeStore(path_);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        if (auto change = guardFile(path_ + suffix, path_, store)) modeChanges_.push_back(std::move(*change));
    }
}

bool Registry::keyExists(const std::string& keyPath) {
    const std::string key = normalizedKeyPath(keyPath);
    if (isMachineKey(key)) return true;
    if (!fileExists(path_)) return false;
    guardFiles();
    Db db = connect(path_, false);
    if (inspect(db.get(), path_) == StoreState::Empty) return false;
    return keyRowExists(db.get(), key);
}

Registry::Key Registry::openKey(const std::string& keyPath) {
    const std::string key = normalizedKeyPath(keyPath);
    if (isMachineKey(key)) return openKeyReadOnly(key);
    createFileIfMissing(path_);
    guardFiles();
    Db db = connect(path_, true);
    inspect(db.get(), path_);
    // Readers then never hold up a writer's commit, nor a writer a reader.
    execute(db.get(), "PRAGMA journal_mode=WAL");
    // A key that has closed is on the disk: the log is synced at every commit, so a
    // power cut after "Save Config" cannot take the save back (sqlite's own default
    // depends on how it was built).
    execute(db.get(), "PRAGMA synchronous=FULL");
    if (!execute(db.get(), "BEGIN IMMEDIATE")) failOpen(path_, sqlite3_errmsg(db.get()));
    auto impl = std::make_unique<Key::Impl>();
    impl->keyPath = key;
    impl->writable = true;
    impl->inTransaction = true;
    impl->db = std::move(db);
    sqlite3* raw = impl->db.get();
    if (!execute(raw, kCreateKeys) || !execute(raw, kCreateValues)) {
        const std::string reason = sqlite3_errmsg(raw);
        impl->inTransaction = false;
        execute(raw, "ROLLBACK");
        failOpen(path_, reason);
    }
    for (const auto& level : keyAndParents(key)) {
        Statement insert(raw, "INSERT OR IGNORE INTO reg_keys (path) VALUES (?)");
        if (!insert.bindText(1, level) || insert.step() != SQLITE_DONE) {
            const std::string reason = sqlite3_errmsg(raw);
            impl->inTransaction = false;
            execute(raw, "ROLLBACK");
            failOpen(path_, reason);
        }
    }
    return Key(std::move(impl));
}

Registry::Key Registry::openKeyReadOnly(const std::string& keyPath) {
    const std::string key = normalizedKeyPath(keyPath);
    auto impl = std::make_unique<Key::Impl>();
    impl->keyPath = key;
    if (isMachineKey(key)) {
        const auto texts = findIgnoringCase(system_.texts, key);
        if (texts != system_.texts.end()) impl->machineTexts = texts->second;
        const auto integers = findIgnoringCase(system_.integers, key);
        if (integers != system_.integers.end()) impl->machineIntegers = integers->second;
        return Key(std::move(impl));
    }
    const auto missing = [&] {
        return RegistryError("Der Registrierungsschlüssel '" + key + "' existiert nicht");
    };
    if (!fileExists(path_)) throw missing();
    guardFiles();
    Db db = connect(path_, false);
    if (inspect(db.get(), path_) == StoreState::Empty) throw missing();
    if (!execute(db.get(), "BEGIN DEFERRED")) failOpen(path_, sqlite3_errmsg(db.get()));
    impl->inTransaction = true;
    impl->db = std::move(db);
    if (!keyRowExists(impl->db.get(), key)) throw missing();
    return Key(std::move(impl));
}

}  // namespace velora
