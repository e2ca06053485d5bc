// Decoding a stored value as every reader of the registry store takes it: the store
// file is the user's and other tools may have written any type and any bytes into it.
// Input: the value's type (first byte), how SQLite holds the data (second byte: blob,
// text, integer, real or NULL), then the data. Each reader gives the value or the
// program's RegistryError.
#include <sqlite3.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/Errors.h"
#include "platform/Registry.h"

namespace {

const char* const kKey = "\\SOFTWARE\\Norvex\\Kesta\\FTP";

struct Store {
    std::string file;
    sqlite3* db = nullptr;
    std::unique_ptr<velora::Registry> registry;

    Store() {
        char folder[] = "/tmp/velora-fuzz-XXXXXX";
        if (!::mkdtemp(folder)) std::abort();
        file = std::string(folder) + "/registry.sqlite3";
        registry = std::make_unique<velora::Registry>(file);
        registry->openKey(kKey).close();
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) std::abort();
    }
};

Store& store() {
    static Store s;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velora;
    if (size < 2) return -1;
    Store& s = store();
    const int type = static_cast<std::int8_t>(data[0]);
    const int storage = data[1] % 5;
    const std::uint8_t* payload = data + 2;
    const std::size_t length = size - 2;

    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(s.db, "INSERT OR REPLACE INTO reg_values (path, name, type, data) VALUES (?, 'Wert', ?, ?)",
                           -1, &insert, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_bind_text(insert, 1, kKey, -1, SQLITE_STATIC);
    sqlite3_bind_int(insert, 2, type);
    switch (storage) {
        case 0: sqlite3_bind_blob(insert, 3, payload, static_cast<int>(length), SQLITE_TRANSIENT); break;
        case 1: sqlite3_bind_text(insert, 3, reinterpret_cast<const char*>(payload), static_cast<int>(length),
                                  SQLITE_TRANSIENT); break;
        case 2: {
            std::int64_t number = 0;
            std::memcpy(&number, payload, length < sizeof number ? length : sizeof number);
            sqlite3_bind_int64(insert, 3, number);
            break;
        }
        case 3: {
            double number = 0;
            std::memcpy(&number, payload, length < sizeof number ? length : sizeof number);
            sqlite3_bind_double(insert, 3, number);
            break;
        }
        default: sqlite3_bind_null(insert, 3); break;
    }
    // The table's own constraints refuse some values (a NULL); those never reach a reader.
    const bool stored = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_finalize(insert);
    if (!stored) return -1;

    auto key = s.registry->openKeyReadOnly(kKey);
    const auto attempt = [](auto read) {
        try {
            read();
        } catch (const RegistryError&) {
        }
    };
    attempt([&] { key.valueExists("Wert"); });
    attempt([&] { key.readString("wert"); });
    attempt([&] { key.readInteger("WERT"); });
    attempt([&] { key.readQword("Wert"); });
    attempt([&] { key.readBool("Wert"); });
    attempt([&] {
        // Stored as blob or text, the bytes come back as they are; SQLite hands a stored
        // number over as its decimal text instead.
        if (storage <= 1 && key.readBinary("Wert").size() != length) std::abort();
    });
    return 0;
}
