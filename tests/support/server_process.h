// pellsd --headless run by a test on a port of its own, serving a temporary folder. It starts in
// another folder than the one it serves, from stored settings that differ from what the options
// ask for (both directions refused and unconfined, other roots, another timeout), so that every
// option has to take effect for a test to pass.
#pragma once

#include "child_process.h"
#include "temp_folder.h"

#include <memory>
#include <string>
#include <vector>

class server_process {
  public:
    // Starts pellsd --headless --port <free port> --root <served folder> --log <trace> + args,
    // behind prefix (the words that run it inside a network namespace) when one is given.
    explicit server_process(const std::vector<std::string>& args = {},
                            const std::vector<std::string>& prefix = {});
    ~server_process();

    uint16_t port() const { return port_; }
    std::string root() const { return served.path(); }
    std::string trace() const { return read_file(logs.file("trace.log")); }
    // The settings file the program reads and writes.
    std::string settings() const;
    // Waits until the trace holds text; whether it came.
    bool trace_shows(const std::string& text, int milliseconds = 10000) const;
    child_process& process() { return *child_; }
    // Waits until at least count transfers have completed, each said by its row.
    bool summaries_shown(size_t count, int milliseconds = 30000);
    // The rows of completed transfers said so far.
    size_t summaries() const;
    // SIGTERM, then the exit status.
    int stop();

    temp_folder_owner served, logs;

  private:
    uint16_t port_;
    std::unique_ptr<child_process> child_;
};
