#include "handset.hpp"

#include "ffucomponents.h"

#include <windows.h>

#include <array>
#include <cstdio>
#include <set>

namespace quorvel::ffu {
namespace {

// Keys that only flashing reads.
constexpr std::array<std::string_view, 4> reserved_keys = {"storage_file", "fail", "hang_ms",
                                                           "stray_prompt"};
constexpr std::array<std::string_view, 4> required_keys = {"name", "unique_id", "platform_id",
                                                           "storage_bytes"};
constexpr std::uint64_t sector_size = 512;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool parse_size(std::string_view text, std::uint64_t& value) {
    if (text.empty()) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

bool set_text(std::string& field, std::string_view value, std::size_t size, std::string& why) {
    if (value.empty()) {
        why = "is empty";
        return false;
    }
    if (value.size() >= size) {
        why = "is longer than " + std::to_string(size - 1) + " bytes";
        return false;
    }
    field.assign(value);
    return true;
}

bool set_value(HandsetConfig& config, const std::string& key, std::string_view value,
               std::string& why) {
    if (key == "name") return set_text(config.name, value, FFU_NAME_SIZE, why);
    if (key == "unique_id") return set_text(config.unique_id, value, FFU_UNIQUE_ID_SIZE, why);
    if (key == "platform_id") return set_text(config.platform_id, value, FFU_PLATFORM_ID_SIZE, why);
    if (key == "storage_bytes") {
        std::uint64_t size = 0;
        if (!parse_size(value, size) || size == 0) {
            why = "is not a positive decimal number of bytes";
            return false;
        }
        if (size % sector_size != 0) {
            why = "is not a multiple of the 512-byte sector";
            return false;
        }
        config.storage_bytes = size;
    }
    if (key == "storage_file") {
        if (value.empty() || value.find(':') != std::string_view::npos || value.front() == '\\' ||
            value.front() == '/') {
            why = "is not a file name relative to the handset folder";
            return false;
        }
        config.storage_file.assign(value);
    }
    if (key == "fail") config.fail.assign(value);
    if (key == "hang_ms") {
        std::uint64_t ms = 0;
        if (!parse_size(value, ms) || ms > 600000) {
            why = "is not a number of milliseconds up to 600000";
            return false;
        }
        config.hang_ms = static_cast<std::uint32_t>(ms);
    }
    if (key == "stray_prompt") {
        if (value != "0" && value != "1") {
            why = "is not 0 or 1";
            return false;
        }
        config.stray_prompt = value == "1";
    }
    return true;
}

bool is_one_of(const std::string& key, const auto& keys) {
    for (std::string_view k : keys)
        if (key == k) return true;
    return false;
}

bool read_file(const std::string& path, std::string& content) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

} // namespace

// The section header is optional: keys before it count as the handset's too.
bool parse_handset_ini(std::string_view text, HandsetConfig& config, std::string& error) {
    // Notepad starts UTF-8 files with a byte order mark.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

    HandsetConfig result;
    std::set<std::string, std::less<>> seen;
    int line_number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line_number;
        const std::string_view line = trim(raw);
        const std::string where = "line " + std::to_string(line_number) + ": ";

        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || lower(trim(line.substr(1, line.size() - 2))) != "handset") {
                error = where + "unknown section " + std::string(line) + ", expected [handset]";
                return false;
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = where + "expected key=value, found \"" + std::string(line) + "\"";
            return false;
        }
        const std::string key = lower(trim(line.substr(0, eq)));
        const std::string_view value = trim(line.substr(eq + 1));
        if (!is_one_of(key, required_keys) && !is_one_of(key, reserved_keys)) {
            error = where + "unknown key \"" + key + "\"";
            return false;
        }
        if (!seen.insert(key).second) {
            error = where + "key \"" + key + "\" given twice";
            return false;
        }
        std::string why;
        if (!set_value(result, key, value, why)) {
            error = where + key + " " + why;
            return false;
        }
    }
    for (std::string_view key : required_keys) {
        if (seen.contains(key)) continue;
        error = "missing key \"" + std::string(key) + "\"";
        return false;
    }
    config = std::move(result);
    return true;
}

HandsetLookup find_handset() {
    HandsetLookup lookup;
    char folder[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableA(handset_variable, folder, sizeof folder);
    if (n == 0 || n >= sizeof folder) return lookup;
    lookup.folder.assign(folder, n);

    std::string path = lookup.folder;
    if (path.back() != '\\' && path.back() != '/') path += '\\';
    path += handset_file_name;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return lookup;

    std::string content;
    if (!read_file(path, content)) {
        lookup.state = HandsetState::broken;
        lookup.error = path + ": cannot be read";
        return lookup;
    }
    std::string why;
    if (!parse_handset_ini(content, lookup.config, why)) {
        lookup.state = HandsetState::broken;
        lookup.error = path + ": " + why;
        return lookup;
    }
    lookup.state = HandsetState::attached;
    return lookup;
}

} // namespace quorvel::ffu
