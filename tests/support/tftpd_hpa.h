// tftpd-hpa's in.tftpd in the foreground on a port of the test's own, serving a folder, with
// uploads allowed to create files.
#pragma once

#include "process.h"
#include "temp_folder.h"

#include <memory>

class tftpd_hpa {
  public:
    tftpd_hpa();
    ~tftpd_hpa();
    uint16_t port() const { return port_; }
    std::string root() const { return served.path(); }
    temp_folder_owner served, logs;

  private:
    uint16_t port_;
    std::unique_ptr<child_process> child_;
};
