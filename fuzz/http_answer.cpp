// The HTTP answer reader of the external-IP lookup on whatever a page sends: status
// line, headers, chunked or sized bodies. A body never exceeds its limit, and the
// reader fails only with the program's own errors.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSocket.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "transfer/HttpAnswerReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velora;
    if (size > fuzz::kMaxInput) return -1;
    static SystemClock clock;
    TcpSocket socket = fuzz::peerSent(data, size);
    HttpLimits limits;
    limits.maxBodyBytes = 1024;
    limits.maxHeaderBytes = 1024;
    HttpAnswerReader reader(socket, clock, 1000, limits);
    try {
        const HttpAnswer answer = reader.read();
        if (answer.body.size() > limits.maxBodyBytes) std::abort();
        answer.values("content-type");
    } catch (const Error&) {
    }
    return 0;
}
