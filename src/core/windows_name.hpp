// Naming a Windows release from its version numbers, for messages to the user.
#pragma once
#include "core/text.hpp"

namespace quorvel {

// "Microsoft Windows XP Professional Service Pack 3" and the like; `service_pack` may be empty.
Text windows_product_name(int major, int minor, bool server, bool personal,
                          const Text& service_pack);

} // namespace quorvel
