#include "peers.h"

std::vector<std::string> tftp_hpa(const std::string& port, const std::string& direction,
                                  const std::string& first, const std::string& second,
                                  const std::string& mode, const std::string& host) {
    std::vector<std::string> command = {"tftp", host,      port,  "-m",  mode,
                                        "-c",   direction, first, second};
    if (host.find(':') != std::string::npos) command.insert(command.begin() + 1, "-6");
    return command;
}

const std::vector<peer_client>& peer_clients() {
    using words = std::vector<std::string>;
    static const std::vector<peer_client> clients = {
        {"tftp_hpa", "tftp", 0, "Error code 1: File not found",
         [](auto& port, auto& remote, auto& local) { return tftp_hpa(port, "get", remote, local); },
         [](auto& port, auto& local, auto& remote) {
             return tftp_hpa(port, "put", local, remote);
         }},
        {"curl", "curl", 68, "",
         [](auto& port, auto& remote, auto& local) {
             return words{"curl", "-s", "-o", local, "tftp://127.0.0.1:" + port + "/" + remote};
         },
         [](auto& port, auto& local, auto& remote) {
             return words{"curl", "-s", "-T", local, "tftp://127.0.0.1:" + port + "/" + remote};
         }},
        {"atftp", "atftp", 255, "<File not found.>",
         [](auto& port, auto& remote, auto& local) {
             return words{"atftp", "-g", "-r", remote, "-l", local, "127.0.0.1", port};
         },
         [](auto& port, auto& local, auto& remote) {
             return words{"atftp", "-p", "-l", local, "-r", remote, "127.0.0.1", port};
         }},
        {"busybox", "busybox", 1, "(1) File not found.",
         [](auto& port, auto& remote, auto& local) {
             return words{"busybox", "tftp", "-g", "-r", remote, "-l", local, "127.0.0.1", port};
         },
         [](auto& port, auto& local, auto& remote) {
             return words{"busybox", "tftp", "-p", "-l", local, "-r", remote, "127.0.0.1", port};
         }},
    };
    return clients;
}
