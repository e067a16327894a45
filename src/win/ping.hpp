// The connectivity check: one ICMP echo request.
#pragma once
#include "core/text.hpp"

namespace quorvel {

// Sends one echo request without payload to `host` (a name, or a dotted address used as it is).
// Returns the reply's travel time in milliseconds (0 and up), or -1 when anything fails: no
// sockets, no ICMP service, a name that cannot be resolved, no reply within `timeout_ms`.
int ping_travel_time(const Text& host, unsigned timeout_ms);

} // namespace quorvel
