// tftpd-hpa's in.tftpd in the foreground on a port of the test's own, serving a folder, with
// uploads allowed to create files. It changes root into the folder, which only root may do: for
// anyone else it is not started, and unavailable() says so for the test to skip.
#pragma once

#include "child_process.h"
#include "temp_folder.h"

#include <memory>

class tftpd_hpa {
  public:
    // Listening on address, an IPv4 or an IPv6 one.
    explicit tftpd_hpa(const std::string& address = "127.0.0.1");
    ~tftpd_hpa();
    uint16_t port() const { return port_; }
    // The address as a host part: "127.0.0.1", "[::1]".
    std::string host() const {
        return address_.find(':') == std::string::npos ? address_ : "[" + address_ + "]";
    }
    // Empty when it runs; else why it does not.
    const std::string& unavailable() const { return unavailable_; }
    std::string root() const { return served.path(); }
    temp_folder_owner served, logs;

  private:
    std::string address_;
    uint16_t port_;
    std::string unavailable_;
    std::unique_ptr<child_process> child_;
};
