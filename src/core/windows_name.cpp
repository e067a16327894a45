#include "core/windows_name.hpp"

#include <string>

namespace quorvel {

Text windows_product_name(int major, int minor, bool server, bool personal,
                          const Text& service_pack) {
    Text name = "Microsoft Windows";
    if (major == 4) {
        name += server ? " NT 4.0 Server" : " NT 4.0";
    } else if (major == 5 && minor == 0) {
        name += server ? " 2000 Server" : " 2000 Professional";
    } else if (major == 5 && minor == 1) {
        name += personal ? " XP Home Edition" : " XP Professional";
    } else if (major == 5 && minor == 2) {
        name += server ? " Server 2003" : " XP Professional x64 Edition";
    } else if (major == 6 && minor == 0) {
        name += server ? " Server 2008" : " Vista";
    } else if (major == 6 && minor == 1) {
        name += server ? " Server 2008 R2" : " 7";
    } else if (major == 6 && minor == 2) {
        name += server ? " Server 2012" : " 8";
    } else if (major == 6 && minor == 3) {
        name += server ? " Server 2012 R2" : " 8.1";
    } else if (major == 10) {
        name += server ? " Server" : " 10";
    } else {
        name += " " + std::to_string(major) + "." + std::to_string(minor);
    }
    if (!service_pack.empty()) name += " " + service_pack;
    return name;
}

} // namespace quorvel
