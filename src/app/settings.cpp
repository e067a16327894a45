#include "app/settings.hpp"

#if !defined(QUORVEL_SETTING_PING_HOST) || !defined(QUORVEL_SETTING_UPDATE_HOST) ||                \
    !defined(QUORVEL_SETTING_SHORTLINK_BASE)
#error "the build passes the program's settings"
#endif

namespace quorvel::settings {

const char* const ping_host = QUORVEL_SETTING_PING_HOST;
const char* const update_host = QUORVEL_SETTING_UPDATE_HOST;
const char* const shortlink_base = QUORVEL_SETTING_SHORTLINK_BASE;

} // namespace quorvel::settings
