// ffumaker: writes a version-1 FFU image for the stand-in flashing tool.
//   ffumaker --out FILE --platform ID [--chunk-kb 128]
//            [--payload FILE | --random BYTES --seed N] [--to-end-blocks N]
// The payload is padded with zeros to whole blocks. Its blocks go to the start of the disk, in
// order; with --to-end-blocks N the last N of them go to the last N blocks of the disk instead
// (as a backup partition table does).
#include "ffu/ffu_format.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

using quorvel::ffu::DiskAccess;

void usage() {
    std::fprintf(stderr, "Usage: ffumaker --out FILE --platform ID [--chunk-kb 128]\n"
                         "                [--payload FILE | --random BYTES --seed N]\n"
                         "                [--to-end-blocks N]\n");
}

bool parse_number(const char* text, std::uint64_t& value) {
    if (!*text) return false;
    std::uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

// splitmix64: the same seed gives the same payload on every machine.
std::vector<std::uint8_t> random_bytes(std::uint64_t size, std::uint64_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint64_t state = seed;
    for (std::uint64_t i = 0; i < size; i += 8) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (std::uint64_t j = 0; j < 8 && i + j < size; ++j)
            out[i + j] = static_cast<std::uint8_t>(z >> (8 * j));
    }
    return out;
}

int run(int argc, char** argv) {
    std::string out, platform, payload_file;
    std::uint64_t chunk_kb = 128, random_size = 0, seed = 0, to_end = 0;
    bool have_random = false, have_seed = false, have_payload = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "ffumaker: %s needs a value\n", option.c_str());
            usage();
            return 2;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (option == "--out") {
            out = value;
        } else if (option == "--platform") {
            platform = value;
        } else if (option == "--payload") {
            payload_file = value;
            have_payload = true;
        } else if (option == "--chunk-kb") {
            ok = parse_number(value, chunk_kb) && chunk_kb <= 65536;
        } else if (option == "--random") {
            ok = parse_number(value, random_size);
            have_random = true;
        } else if (option == "--seed") {
            ok = parse_number(value, seed);
            have_seed = true;
        } else if (option == "--to-end-blocks") {
            ok = parse_number(value, to_end) && to_end <= UINT32_MAX;
        } else {
            std::fprintf(stderr, "ffumaker: unknown option %s\n", option.c_str());
            usage();
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "ffumaker: invalid value for %s: %s\n", option.c_str(), value);
            return 2;
        }
    }
    if (out.empty() || platform.empty() || have_payload == have_random ||
        have_random != have_seed) {
        usage();
        return 2;
    }

    quorvel::ffu::ImageSpec plan;
    plan.platform_id = platform;
    plan.chunk_kb = static_cast<std::uint32_t>(chunk_kb);
    if (have_payload) {
        if (!quorvel::ffu::read_file_bytes(payload_file, plan.payload)) {
            std::fprintf(stderr, "ffumaker: cannot read %s\n", payload_file.c_str());
            return 1;
        }
    } else {
        plan.payload = random_bytes(random_size, seed);
    }
    const std::uint64_t block = chunk_kb * 1024;
    const std::uint64_t blocks = block == 0 ? 0 : (plan.payload.size() + block - 1) / block;
    plan.payload.resize(blocks * block, 0);
    if (to_end > blocks || blocks > UINT32_MAX) {
        std::fprintf(stderr, "ffumaker: %llu blocks cannot put %llu at the end of the disk\n",
                     static_cast<unsigned long long>(blocks),
                     static_cast<unsigned long long>(to_end));
        return 2;
    }
    const auto start_blocks = static_cast<std::uint32_t>(blocks - to_end);
    if (start_blocks > 0) plan.descriptors.push_back({start_blocks, {{DiskAccess::from_start, 0}}});
    if (to_end > 0) {
        const auto n = static_cast<std::uint32_t>(to_end);
        plan.descriptors.push_back({n, {{DiskAccess::from_end, n - 1}}});
    }
    const std::vector<std::uint8_t> image = quorvel::ffu::write_image(plan);

    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() ||
        std::fclose(f) != 0) {
        std::fprintf(stderr, "ffumaker: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %llu bytes, %llu blocks of %llu bytes for %s\n", out.c_str(),
                static_cast<unsigned long long>(image.size()),
                static_cast<unsigned long long>(blocks), static_cast<unsigned long long>(block),
                platform.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ffumaker: %s\n", e.what());
        return 1;
    }
}
