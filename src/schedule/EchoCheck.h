#pragma once
// What the run cycle needs of the online check: one echo to a host and its reply
// record. The reply handler is the run cycle's.
#include <optional>
#include <string>

#include "schedule/EchoMessage.h"

namespace velora {

class EchoCheck {
public:
    virtual ~EchoCheck() = default;
    // Sends one echo and waits for its answer: the reply record, or the time-out record
    // when nobody answered in time. nullopt when the echo could not be made (name not
    // resolved, no socket, a malformed answer); the log then says "Not Route".
    virtual std::optional<EchoReply> PingHost(const std::string& host, int sequence) = 0;
};

}  // namespace velora
