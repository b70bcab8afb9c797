// The server's daemon run in the test's own process, on a port of the test's, serving a root
// folder with uploads and downloads allowed; the test plays the clients.
#pragma once

#include "engine_fixture.h"
#include "udp_peer.h"

#include <string>

class daemon_test : public engine_test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string root() const { return folder.file("root"); }
    std::string root_file(const std::string& name) const { return root() + "/" + name; }
    // The status line's text now.
    std::string status() const;
    // Waits until the status line reads text.
    bool status_shows(const std::string& text, int milliseconds = 10000) const;
    // Whether the daemon still serves: a download of a small file completes byte for byte.
    bool serves_a_download();

    uint16_t port = 0;
};
