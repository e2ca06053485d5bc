#include "settings/SentMemory.h"

#include <cstdint>
#include <map>
#include <tuple>

namespace velora {

namespace {

// A damaged length must not make the reader allocate without bound.
constexpr std::size_t kMaxMemoryBytes = 64u * 1024u * 1024u;
constexpr std::uint8_t kFormat = 1;

using RowKey = std::tuple<std::string, std::string, std::string, std::string>;  // server, Quelle, Pfad, Name

RowKey keyOf(const FileTable::Row& row, const std::string& server) {
    return {server, row[Quelle], row[FtpPfad], row[FtpName]};
}

bool wasSent(const std::string& psAlt) {
    if (psAlt.empty() || psAlt == kNotSent) return false;
    // A fingerprint is a decimal number; the marks "?" and "???" are not.
    for (std::size_t i = 0; i < psAlt.size(); ++i)
        if (!(psAlt[i] >= '0' && psAlt[i] <= '9') && !(i == 0 && psAlt[i] == '-')) return false;
    return true;
}

void putField(std::vector<std::uint8_t>& out, const std::string& text) {
    const auto n = static_cast<std::uint32_t>(text.size());
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
    out.insert(out.end(), text.begin(), text.end());
}

bool takeField(const std::vector<std::uint8_t>& in, std::size_t& at, std::string& text) {
    if (in.size() - at < 4) return false;
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | in[at + static_cast<std::size_t>(i)];
    at += 4;
    if (in.size() - at < n) return false;
    text.assign(in.begin() + static_cast<std::ptrdiff_t>(at), in.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    return true;
}

std::map<RowKey, std::string> decode(const std::vector<std::uint8_t>& bytes) {
    std::map<RowKey, std::string> records;
    if (bytes.empty() || bytes[0] != kFormat || bytes.size() > kMaxMemoryBytes) return records;
    std::size_t at = 1;
    while (at < bytes.size()) {
        std::string server, source, folder, name, psAlt;
        if (!takeField(bytes, at, server) || !takeField(bytes, at, source) || !takeField(bytes, at, folder) ||
            !takeField(bytes, at, name) || !takeField(bytes, at, psAlt))
            return {};
        records.emplace(RowKey{server, source, folder, name}, psAlt);
    }
    return records;
}

}  // namespace

int SentMemory::restore(FileTable& files, const std::string& server) {
    if (!registry_.keyExists(kSentMemoryKey)) return 0;
    std::map<RowKey, std::string> records;
    {
        Registry::Key key = registry_.openKeyReadOnly(kSentMemoryKey);
        if (!key.valueExists(kSentMemoryValue)) return 0;
        try {
            records = decode(key.readBinary(kSentMemoryValue));
        } catch (const std::exception&) {
            return 0;  // not a byte block: nothing remembered
        }
    }
    int restored = 0;
    for (int r = 1; r <= files.rowCount(); ++r) {
        const auto found = records.find(keyOf(files.row(r), server));
        if (found == records.end()) continue;
        files.setCell(PsAlt, r, found->second);
        ++restored;
    }
    return restored;
}

void SentMemory::remember(const FileTable& files, const std::string& server) {
    std::vector<std::uint8_t> bytes{kFormat};
    for (const FileTable::Row& row : files.rows()) {
        if (!wasSent(row[PsAlt])) continue;
        putField(bytes, server);
        putField(bytes, row[Quelle]);
        putField(bytes, row[FtpPfad]);
        putField(bytes, row[FtpName]);
        putField(bytes, row[PsAlt]);
    }
    Registry::Key key = registry_.openKey(kSentMemoryKey);
    key.writeBinary(kSentMemoryValue, bytes);
    key.close();
}

void keepSentOfUnchangedRows(const std::vector<FileTable::Row>& before, const std::string& serverBefore,
                             FileTable& after, const std::string& serverAfter) {
    if (serverBefore != serverAfter) return;
    std::map<std::tuple<std::string, std::string, std::string, std::string>, std::string> sent;
    for (const FileTable::Row& row : before)
        if (wasSent(row[PsAlt]))
            sent.emplace(std::tuple{row[Tag], row[Quelle], row[FtpPfad], row[FtpName]}, row[PsAlt]);
    for (int r = 1; r <= after.rowCount(); ++r) {
        const FileTable::Row row = after.row(r);
        const auto found = sent.find(std::tuple{row[Tag], row[Quelle], row[FtpPfad], row[FtpName]});
        if (found != sent.end()) after.setCell(PsAlt, r, found->second);
    }
}

}  // namespace velora
