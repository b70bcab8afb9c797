#include "transfer_ports.h"

#include "platform/socket.h"
#include "settings.h"

#include <random>

bool port_range_parse(const std::string& text, int* low, int* high) {
    *low = *high = 0;
    if (text.find_first_not_of(" \t") == std::string::npos) return true;
    size_t colon = text.find(':');
    auto number = [](const std::string& part, int* value) {
        size_t start = part.find_first_not_of(" \t"), end = part.find_last_not_of(" \t");
        if (start == std::string::npos) return false;
        std::string digits = part.substr(start, end - start + 1);
        if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        *value = std::stoi(digits);
        return *value >= 1 && *value <= 65535;
    };
    return colon != std::string::npos && number(text.substr(0, colon), low) &&
           number(text.substr(colon + 1), high) && *low <= *high;
}

std::string port_range_refusal(const server_settings& settings) {
    int low = 0, high = 0;
    if (!port_range_parse(settings.PortRange, &low, &high))
        return "The transfer ports must be a range such as 50000:50099.";
    if (low > 0 && settings.SinglePort == 1)
        return "Transfers are served from the listening port alone or from a range of ports, not "
               "both.";
    return "";
}

bool port_range_privileged(const server_settings& settings) {
    int low = 0, high = 0;
    port_range_parse(settings.PortRange, &low, &high);
    return low > 0 && low < 1024;
}

int transfer_socket_open(const net_endpoint& local, bool* no_free_port) {
    *no_free_port = false;
    int fd = sock_open_udp(local.family);
    if (fd < 0) return -1;
    int low = 0, high = 0;
    port_range_parse(settings_now()->PortRange, &low, &high);
    net_endpoint where = local;
    if (low == 0) {
        where.port = 0;
        if (sock_bind(fd, where) == 0) return fd;
        sock_close(fd);
        return -1;
    }
    // From a random port of the range, every port once, the next after each that is taken.
    static thread_local std::mt19937 random{std::random_device{}()};
    const int count = high - low + 1;
    const int first = std::uniform_int_distribution<int>(0, count - 1)(random);
    for (int i = 0; i < count; ++i) {
        where.port = static_cast<uint16_t>(low + (first + i) % count);
        if (sock_bind(fd, where) == 0) return fd;
    }
    sock_close(fd);
    *no_free_port = true;
    return -1;
}
