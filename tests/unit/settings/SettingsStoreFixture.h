#pragma once
// A settings store on a fresh registry file in a scratch folder, with a real event
// log, and direct SQLite access to check what exactly landed in the file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EventLog.h"
#include "app/TextView.h"
#include "support/QuietUiHost.h"
#include "filetable/FileTable.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"
#include "settings/SettingsLogSources.h"
#include "settings/SettingsStore.h"
#include "support/LogHarness.h"
#include "support/TempDir.h"

namespace velora::test {

class TrayCountingUi : public QuietUiHost {
public:
    int hidden = 0;
    void hideToTray() override { ++hidden; }
};

struct StoredValue {
    int type = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const StoredValue&) const = default;
};

inline StoredValue textValue(const std::string& text) { return {1, {text.begin(), text.end()}}; }

inline StoredValue integerValue(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {4,
            {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u >> 16),
             static_cast<std::uint8_t>(u >> 24)}};
}

inline StoredValue qwordValue(std::uint64_t v) {
    StoredValue value{11, {}};
    for (int i = 0; i < 8; ++i) value.data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return value;
}

inline void PrintTo(const StoredValue& v, std::ostream* os) {
    *os << "type " << v.type << " data '";
    for (std::uint8_t b : v.data) *os << (b >= 32 && b < 127 ? static_cast<char>(b) : '.');
    *os << "' (" << v.data.size() << " bytes)";
}

// Opens the store file the way an outside tool would.
class Sqlite {
public:
    explicit Sqlite(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open " << path;
        }
        sqlite3_busy_timeout(db_, 2000);
    }
    ~Sqlite() { sqlite3_close(db_); }
    Sqlite(const Sqlite&) = delete;
    Sqlite& operator=(const Sqlite&) = delete;

    // Runs `sql` with text parameters; calls `row` for each result row.
    template <class RowFn>
    void query(const std::string& sql, const std::vector<std::string>& params, RowFn row) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(db_) << " in " << sql;
            return;
        }
        for (std::size_t i = 0; i < params.size(); ++i) {
            sqlite3_bind_text(st, static_cast<int>(i + 1), params[i].c_str(), -1, SQLITE_TRANSIENT);
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
        if (rc != SQLITE_DONE) ADD_FAILURE() << sqlite3_errmsg(db_) << " in " << sql;
        sqlite3_finalize(st);
    }

private:
    sqlite3* db_ = nullptr;
};

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest()
        : env({}, scratch.path()),
          settings(Settings::defaults(env)),
          logSources(settings, env),
          log(memo, ui, clock, locale, logSources),
          registry(scratch.path() + "/registry.sqlite3"),
          temp(env, log),
          store(registry, settings, table, counters, temp, log, ui) {
        table.fillSampleRows();
    }

    // The log view's texts without their date and time.
    std::vector<std::string> logTexts() const { return test::textsOf(memo); }

    // Writes go through one open key between beginBatch and endBatch (one transaction
    // instead of one per value), else each through a key of its own.
    void beginBatch() { batch_.emplace(registry.openKey(kSettingsKey)); }
    void endBatch() { batch_.reset(); }
    void putInteger(const std::string& name, std::int32_t v) {
        if (batch_) {
            batch_->writeInteger(name, v);
        } else {
            registry.openKey(kSettingsKey).writeInteger(name, v);
        }
    }
    void putText(const std::string& name, const std::string& v) {
        if (batch_) {
            batch_->writeString(name, v);
        } else {
            registry.openKey(kSettingsKey).writeString(name, v);
        }
    }

    void erase(const std::string& name) {
        Sqlite db(registry.filePath());
        db.query("DELETE FROM reg_values WHERE path = ? AND name = ?", {kSettingsKey, name}, [](sqlite3_stmt*) {});
    }

    std::optional<StoredValue> stored(const std::string& name) {
        std::optional<StoredValue> value;
        Sqlite db(registry.filePath());
        db.query("SELECT type, data FROM reg_values WHERE path = ? AND name = ?", {kSettingsKey, name},
                 [&](sqlite3_stmt* st) {
                     StoredValue v;
                     v.type = sqlite3_column_int(st, 0);
                     const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, 1));
                     v.data.assign(bytes, bytes + sqlite3_column_bytes(st, 1));
                     value = v;
                 });
        return value;
    }

    // Names of the key's values in the order they were first written.
    std::vector<std::string> namesInWriteOrder() {
        std::vector<std::string> names;
        Sqlite db(registry.filePath());
        db.query("SELECT name FROM reg_values WHERE path = ? ORDER BY rowid", {kSettingsKey}, [&](sqlite3_stmt* st) {
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        });
        return names;
    }

    test::TempDir scratch;
    FixedEnvironment env;
    Settings settings;
    FileTable table;
    RunCounters counters;
    TextView memo;
    TrayCountingUi ui;
    ManualClock clock;
    Locale locale = Locale::german();
    SettingsLogSources logSources;
    EventLog log;
    Registry registry;
    TempFolder temp;
    SettingsStore store;

private:
    std::optional<Registry::Key> batch_;
};

}  // namespace velora::test
