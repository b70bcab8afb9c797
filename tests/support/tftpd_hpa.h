// tftpd-hpa's in.tftpd in the foreground on a port of the test's own, serving a folder, with
// uploads allowed to create files. It changes root into the folder, which only root may do: for
// anyone else it is not started, and unavailable() says so for the test to skip.
#pragma once

#include "process.h"
#include "temp_folder.h"

#include <memory>

class tftpd_hpa {
  public:
    tftpd_hpa();
    ~tftpd_hpa();
    uint16_t port() const { return port_; }
    // Empty when it runs; else why it does not.
    const std::string& unavailable() const { return unavailable_; }
    std::string root() const { return served.path(); }
    temp_folder_owner served, logs;

  private:
    uint16_t port_;
    std::string unavailable_;
    std::unique_ptr<child_process> child_;
};
