// The simulated handset: a folder named by the environment variable QUORVEL_HANDSET that holds
// handset.ini. The handset is attached exactly when that file exists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::ffu {

inline constexpr const char* handset_variable = "QUORVEL_HANDSET";
inline constexpr const char* handset_file_name = "handset.ini";

struct HandsetConfig {
    std::string name;
    std::string unique_id;
    std::string platform_id;
    std::uint64_t storage_bytes = 0;
    // Flashing only.
    std::string storage_file = "storage.bin"; // relative to the handset folder
    std::string fail;                         // not empty: a flash fails with this error
    std::uint32_t hang_ms = 0;                // a flash stalls this long halfway
    bool stray_prompt = false;                // a flash prints a stray ">"
};

// Reads the text of handset.ini. Returns false with a reason (naming the line where there is
// one) when a line is malformed, a key is unknown, repeated or missing, or a value is invalid.
bool parse_handset_ini(std::string_view text, HandsetConfig& config, std::string& error);

enum class HandsetState { absent, attached, broken };

struct HandsetLookup {
    HandsetState state = HandsetState::absent;
    std::string folder;   // as the variable names it
    HandsetConfig config; // when attached
    std::string error;    // when broken
};

// Looks at the variable and the folder it names.
HandsetLookup find_handset();

} // namespace quorvel::ffu
