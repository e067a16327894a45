#include "win/ping.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

namespace quorvel {
namespace {

class WinsockSession {
public:
    WinsockSession() {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool started() const { return started_; }

private:
    bool started_ = false;
};

} // namespace

int ping_travel_time(const Text& host, unsigned timeout_ms) {
    WinsockSession sockets;
    if (!sockets.started()) return -1;

    unsigned long address = inet_addr(host.c_str());
    if (address == INADDR_NONE) {
        hostent* entry = gethostbyname(host.c_str());
        if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0])
            return -1;
        address = *reinterpret_cast<unsigned long*>(entry->h_addr_list[0]);
    }

    HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) return -1;
    // One reply record and room for the ICMP error data: 36 bytes in a 32-bit process.
    unsigned char reply[sizeof(ICMP_ECHO_REPLY) + 8] = {};
    DWORD count = IcmpSendEcho(icmp, address, nullptr, 0, nullptr, reply, sizeof reply, timeout_ms);
    IcmpCloseHandle(icmp);
    if (count == 0) return -1;
    const auto* r = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
    if (r->Status != IP_SUCCESS) return -1;
    return static_cast<int>(r->RoundTripTime);
}

} // namespace quorvel
