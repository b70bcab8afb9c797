#include "listeners.h"

#include "diag/report.h"
#include "engine/packet.h"
#include "platform/socket.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "platform/files.h"
#include "settings.h"

namespace {

constexpr const char* separators = " ,\t\r\n";

// The endpoints to listen on, as the settings say.
std::vector<net_endpoint> wanted(uint16_t port) {
    std::vector<net_endpoint> addresses;
    std::string bad;
    const auto settings = settings_now();
    if (!listen_addresses_parse(settings->ListenAddresses, port, &addresses, &bad))
        report_fatal("net_init: can't bind local address.");
    if (!addresses.empty()) return addresses;
    for (net_family family : {net_family::v4, net_family::v6})
        if (settings->ListenFamily == 0 ||
            settings->ListenFamily == (family == net_family::v4 ? 4 : 6))
            addresses.push_back(any_address(family, port));
    return addresses;
}

// The system's reason, where, and what to do about a port that needs privileges.
[[noreturn]] void bind_failed(const net_endpoint& where) {
    const bool privileged = sock_last_error_is_privilege();
    std::string text = "net_init: can't bind local address " + address_text(where) + ", port " +
                       std::to_string(where.port) + ": " + error_text(sock_last_error()) + ".";
    if (privileged && where.port < 1024)
        text += " Ports below 1024 need privileges: choose another port (--port or the window's "
                "Port field), run as root, or grant the program CAP_NET_BIND_SERVICE.";
    report_fatal(text.c_str());
}

} // namespace

std::atomic<int> listen_port_override{0};

int net_listen_port(const char* service) {
    if (listen_port_override) return listen_port_override;
    if (int stored = settings_now()->ListenPort; stored != tftp_well_known_port) return stored;
    int port = service_port(service);
    if (port == 0) {
        report_error("net_init: unknown service: %s/udp.", service);
        trace_line("net_init: Listening on port %d, the port of TFTP.", tftp_well_known_port);
        port = tftp_well_known_port;
    }
    return port;
}

bool listen_addresses_parse(const std::string& text, uint16_t port,
                            std::vector<net_endpoint>* addresses, std::string* bad) {
    addresses->clear();
    size_t at = 0;
    while ((at = text.find_first_not_of(separators, at)) != std::string::npos) {
        size_t end = text.find_first_of(separators, at);
        std::string entry = text.substr(at, end - at), host;
        at = end;
        int own_port = 0;
        net_endpoint address;
        if (!host_port_split(entry, &host, &own_port) || !address_parse(host, &address)) {
            *bad = entry;
            return false;
        }
        address.port = static_cast<uint16_t>(own_port ? own_port : port);
        addresses->push_back(address);
    }
    return true;
}

bool listen_addresses_usable(const std::string& text) {
    std::vector<net_endpoint> addresses;
    std::string bad;
    return listen_addresses_parse(text, tftp_well_known_port, &addresses, &bad);
}

std::string listen_refusal(const server_settings& settings) {
    std::vector<net_endpoint> addresses;
    std::string bad;
    if (listen_addresses_parse(settings.ListenAddresses, tftp_well_known_port, &addresses, &bad))
        return "";
    return "'" + bad + "' is not an address to listen on.";
}

bool listening_differs(const server_settings& a, const server_settings& b) {
    return a.ListenAddresses != b.ListenAddresses || a.ListenFamily != b.ListenFamily ||
           a.ListenPort != b.ListenPort;
}

std::vector<std::unique_ptr<listener>> net_init(const char* service) {
    auto port = static_cast<uint16_t>(net_listen_port(service));
    const bool named = !settings_now()->ListenAddresses.empty();
    std::vector<std::unique_ptr<listener>> listeners;
    std::string listening, absent;
    for (const net_endpoint& where : wanted(port)) {
        auto l = std::make_unique<listener>();
        l->where = where;
        l->socket.reset(sock_open_udp(where.family));
        if (l->socket.get() < 0) {
            // A machine without IPv6 serves IPv4 alone.
            if (where.family == net_family::v6 && !named) continue;
            report_fatal("net_init: can't create the datagram socket.");
        }
        int fd = l->socket.get();
        if (where.family == net_family::v6) sock_v6_only(fd);
        if (sock_bind(fd, where) < 0) {
            bool missing = sock_last_error_is_absent_address();
            if (missing && where.family == net_family::v6 && !named) continue;
            // An address the machine does not have yet is waited for: it is bound all the same
            // and serves once it appears.
            if (!missing || sock_free_bind(fd) < 0 || sock_bind(fd, where) < 0) bind_failed(where);
            absent += (absent.empty() ? "" : ", ") + address_text(where);
        }
        if (sock_set_nonblocking(fd, true) < 0)
            report_fatal("net_init: Failed to unblock the server socket.");
        // Where each request arrived says which address answers it, and what block fits.
        sock_want_arrival(fd);
        listening += (listening.empty() ? "" : ", ") + endpoint_text(where);
        listeners.push_back(std::move(l));
    }
    if (listeners.empty()) report_fatal("net_init: can't bind local address.");
    trace_line("net_init: Successfully bound server socket.");
    std::string where = "Listening on " + listening + ".";
    if (!absent.empty()) where += " Waiting for " + absent + " to appear on this machine.";
    trace_line("net_init: %s", where.c_str());
    status_text(where);
    return listeners;
}
