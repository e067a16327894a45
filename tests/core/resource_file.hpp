#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The program's pictures as committed in resources/. The build gives their directory (with a
// trailing separator) in the form the test executable's platform understands.
inline std::vector<unsigned char> read_resource(const std::string& name) {
    std::ifstream in(std::string(QUORVEL_RESOURCES_DIR) + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}
