#pragma once
// ICMP packets as the tests hand them to the echo code.
#include <utility>
#include <vector>

#include "platform/IcmpSocket.h"

namespace velora::test {

using Bytes = std::vector<unsigned char>;

// What a raw socket reads: the bytes with their IP header; sender and ttl are in there.
inline IcmpPacket raw(Bytes bytes) {
    IcmpPacket p;
    p.bytes = std::move(bytes);
    return p;
}

}  // namespace velora::test
