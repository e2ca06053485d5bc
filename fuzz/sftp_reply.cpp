// The SFTP replies on whatever a server sends, in pieces of any size: replies are cut
// from the stream until it is broken or used up, and each is read as every kind the
// client knows. Nothing may read past a reply's end.
#include <cstddef>
#include <cstdint>

#include "ftp/detail/SftpPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velora;
    if (size < 1 || size > 64 * 1024) return -1;
    // The first byte chooses the piece size, so replies split anywhere are tried.
    const std::size_t piece = 1 + data[0];
    sftp::ReplyStream stream;
    for (std::size_t at = 1; at < size && !stream.broken(); at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        stream.append(reinterpret_cast<const char*>(data + at), n);
        while (auto reply = stream.next()) {
            sftp::parseStatus(reply->body);
            sftp::parseHandle(reply->body);
            sftp::parseFirstName(reply->body);
            sftp::parsePermissions(reply->body);
            sftp::parseVersion(reply->body);
        }
    }
    return 0;
}
