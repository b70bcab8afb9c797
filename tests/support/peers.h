// The peers' TFTP clients as tests run them against a server on loopback: each one's command
// line for a download and an upload, and how it shows that the server refused "File not found.".
#pragma once

#include <string>
#include <vector>

struct peer_client {
    const char* name;         // as the tests name it
    const char* program;      // what must be installed
    int refused_status;       // the exit status for a TFTP error (tftp-hpa exits 0 all the same)
    const char* refused_says; // what it prints of the refusal (curl's status names the error)
    std::vector<std::string> (*get)(const std::string& port, const std::string& remote,
                                    const std::string& local);
    std::vector<std::string> (*put)(const std::string& port, const std::string& local,
                                    const std::string& remote);
};

// tftp-hpa, curl, atftp and busybox, in that order.
const std::vector<peer_client>& peer_clients();

// tftp-hpa's command line for one transfer: direction "get" or "put", mode "binary" or "ascii",
// then the names in the order tftp-hpa takes them (get REMOTE LOCAL, put LOCAL REMOTE), to the
// server at host (an IPv6 address asks for IPv6).
std::vector<std::string> tftp_hpa(const std::string& port, const std::string& direction,
                                  const std::string& first, const std::string& second,
                                  const std::string& mode = "binary",
                                  const std::string& host = "127.0.0.1");
