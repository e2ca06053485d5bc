// The FTP reply reader on whatever a server sends: replies are read until the reader
// refuses one or the connection ends. It may fail only with the program's own errors.
#include <cstddef>
#include <cstdint>

#include "FuzzSocket.h"
#include "ftp/FtpReply.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velora;
    if (size > fuzz::kMaxInput) return -1;
    TcpSocket socket = fuzz::peerSent(data, size);
    // Small limits, so the fuzzer reaches them with short inputs.
    ReplyReader reader(socket, ReplyLimits{256, 16, 2048});
    try {
        for (int i = 0; i < 64; ++i) {
            const FtpReply reply = reader.read(1000, 1000);
            reply.text();
            reply.is({200, 227});
            if (!reply.lines.empty()) {
                parseQuotedPath(reply.lines.front());
                featureListed(reply.lines, "UTF8");
            }
        }
    } catch (const Error&) {
    }
    return 0;
}
