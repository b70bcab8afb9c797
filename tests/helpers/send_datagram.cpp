// Sends one UDP datagram with a source of the caller's choosing, through a raw socket (it needs
// CAP_NET_RAW): send_datagram SRC_ADDR SRC_PORT DST_ADDR DST_PORT HEX, the payload written in
// hexadecimal (it holds NUL bytes). Tests use it for what
// no ordinary socket can send: a source port of 0, or an address only a network namespace of
// the test's own routes.
#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    std::string hex = argv[5], payload;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        payload += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    std::string packet(sizeof(iphdr) + sizeof(udphdr) + payload.size(), '\0');
    auto* ip = reinterpret_cast<iphdr*>(packet.data());
    auto* udp = reinterpret_cast<udphdr*>(packet.data() + sizeof(iphdr));
    ip->version = 4;
    ip->ihl = 5;
    ip->ttl = 64;
    ip->protocol = IPPROTO_UDP;
    if (inet_pton(AF_INET, argv[1], &ip->saddr) != 1 || inet_pton(AF_INET, argv[3], &ip->daddr) != 1)
        return 2;
    udp->source = htons(static_cast<uint16_t>(std::atoi(argv[2])));
    udp->dest = htons(static_cast<uint16_t>(std::atoi(argv[4])));
    udp->len = htons(static_cast<uint16_t>(sizeof(udphdr) + payload.size()));
    udp->check = 0; // no checksum, as IPv4 allows
    std::memcpy(packet.data() + sizeof(iphdr) + sizeof(udphdr), payload.data(), payload.size());
    // The system fills in the header's length and checksum.
    int fd = socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    if (fd < 0) return 1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ip->daddr;
    bool sent = sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                       sizeof to) == static_cast<ssize_t>(packet.size());
    close(fd);
    return sent ? 0 : 1;
}
