// The data address of a 227 reply: a port in 1..65535 and a dotted address of four
// numbers 0..255, or the program's own error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ftp/FtpReply.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velora;
    const std::string line(reinterpret_cast<const char*>(data), size);
    try {
        const PasvAddress address = parsePasvReply(line);
        if (address.port <= 0 || address.port > 65535) std::abort();
        if (!TcpSocket::isNumericIPv4(address.ip)) std::abort();
    } catch (const GeneralError&) {
    }
    return 0;
}
