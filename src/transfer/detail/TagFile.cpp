#include "transfer/detail/TagFile.h"

#include <utility>

#include "platform/PathTrust.h"

namespace velora {

namespace {

TagRow splitLine(std::string_view line) {
    if (line.size() > kTagLineLimit) line = line.substr(0, kTagLineLimit);
    const auto semicolon = line.find(';');
    if (semicolon == std::string_view::npos) return {std::string(), std::string(line)};
    return {std::string(line.substr(0, semicolon)), std::string(line.substr(semicolon + 1))};
}

}  // namespace

std::vector<TagRow> parseTagFile(std::string_view bytes) {
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

TagFileContent readTagFile(const std::string& path, unsigned uid) {
    pathtrust::GuardedRead file = pathtrust::readOwnFile(path, uid);
    switch (file.outcome) {
    case pathtrust::GuardedRead::Read:
        return {TagFileContent::Read, std::move(file.bytes), {}};
    case pathtrust::GuardedRead::Missing:
        return {TagFileContent::Missing, {}, {}};
    case pathtrust::GuardedRead::NotAFile:
        return {TagFileContent::NotAFile, {}, std::move(file.why)};
    case pathtrust::GuardedRead::Refused:
        return {TagFileContent::Refused, {}, std::move(file.why)};
    case pathtrust::GuardedRead::Unreadable:
        break;
    }
    return {TagFileContent::Unreadable, {}, std::move(file.why)};
}

}  // namespace velora
