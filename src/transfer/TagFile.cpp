#include "transfer/TagFile.h"

#include <cerrno>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace velora {

namespace {

TagRow splitLine(std::string_view line) {
    if (line.size() > kTagLineLimit) line = line.substr(0, kTagLineLimit);
    const auto semicolon = line.find(';');
    if (semicolon == std::string_view::npos) return {std::string(), std::string(line)};
    return {std::string(line.substr(0, semicolon)), std::string(line.substr(semicolon + 1))};
}

}  // namespace

std::vector<TagRow> ParseTagFile(std::string_view bytes) {
    std::vector<TagRow> rows;
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::size_t pos = bytes.substr(0, 3) == kByteOrderMark ? 3 : 0;
    while (pos < bytes.size()) {
        const auto brk = bytes.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) {
            rows.push_back(splitLine(bytes.substr(pos)));
            break;
        }
        rows.push_back(splitLine(bytes.substr(pos, brk - pos)));
        pos = brk + 1;
        if (bytes[brk] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
    return rows;
}

TagFileContent ReadTagFile(const std::string& path) {
    // Only a regular file is read: a fifo would block the window thread for ever.
    if (!fileio::isRegularFile(path)) return {TagFileContent::Missing, {}, {}};
    try {
        return {TagFileContent::Read, fileio::readAll(path), {}};
    } catch (const IoError& e) {
        // Another program may replace the file between the test and the read; that
        // is the same as not finding it.
        if (e.code() == ENOENT || e.code() == ENOTDIR) return {TagFileContent::Missing, {}, {}};
        return {TagFileContent::Unreadable, {}, e.what()};
    }
}

}  // namespace velora
