#include "platform/neighbours.h"

#include <cstring>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The entry of one neighbour message for the client's address, or empty.
std::string entry_for(const nlmsghdr* message, const net_endpoint& client, size_t address_length) {
    const auto* entry = static_cast<const ndmsg*>(NLMSG_DATA(message));
    const unsigned char *address = nullptr, *hardware = nullptr;
    size_t hardware_length = 0;
    int room = static_cast<int>(RTM_PAYLOAD(message));
    for (const rtattr* a = RTM_RTA(entry); RTA_OK(a, room); a = RTA_NEXT(a, room)) {
        if (a->rta_type == NDA_DST && RTA_PAYLOAD(a) == address_length)
            address = static_cast<const unsigned char*>(RTA_DATA(a));
        if (a->rta_type == NDA_LLADDR) {
            hardware = static_cast<const unsigned char*>(RTA_DATA(a));
            hardware_length = RTA_PAYLOAD(a);
        }
    }
    const bool known = !(entry->ndm_state & (NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP));
    if (!address || !hardware || hardware_length == 0 || !known ||
        std::memcmp(address, client.address.data(), address_length) != 0)
        return "";
    return hardware_name(hardware, hardware_length);
}

} // namespace

std::string neighbour_hardware_name(const net_endpoint& client) {
    const bool six = client.family == net_family::v6;
    const size_t address_length = six ? 16 : 4;
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return "";
    struct {
        nlmsghdr header;
        ndmsg body;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.ndm_family = six ? AF_INET6 : AF_INET;
    std::string found;
    if (send(fd, &request, request.header.nlmsg_len, 0) >= 0) {
        alignas(nlmsghdr) char buffer[16384];
        // The dump ends with NLMSG_DONE; a table too large to read whole is read in part.
        for (bool done = false; !done;) {
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            int left = static_cast<int>(got);
            // The kernel's own macros compare its unsigned lengths with the int it documents.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
            for (auto* m = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(m, left);
                 m = NLMSG_NEXT(m, left)) {
#pragma GCC diagnostic pop
                if (m->nlmsg_type == NLMSG_DONE || m->nlmsg_type == NLMSG_ERROR) done = true;
                if (m->nlmsg_type == RTM_NEWNEIGH && found.empty())
                    found = entry_for(m, client, address_length);
            }
        }
    }
    close(fd);
    return found;
}
