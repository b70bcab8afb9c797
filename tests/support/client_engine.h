// The engine in the client's role on a worker thread, as the client's session will run it: it
// opens the local file, sends its request to the test's "well-known" port and runs the state
// machine; the test plays the server.
#pragma once

#include "endpoint_fixture.h"
#include "engine/transfer.h"

#include <atomic>
#include <memory>
#include <string>

class client_engine_test : public endpoint_test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Starts a download (op 1) or an upload (op 2) of the local file in mode (0 netascii, 1
    // octet), with the request for remote going to the test's listener.
    void start(int op, int mode, const std::string& local, const std::string& remote = "remote");
    // Waits for the transfer thread to end; true when it returned (no fatal report ended it).
    bool finish(int milliseconds = 60000);
    // How the transfer ended.
    transfer_outcome::kind outcome() const { return run_->how; }
    // The request the listener received; the port it came from is the engine's.
    std::string take_request();

    struct run {
        std::atomic<int> ended{0}, returned{0};
        transfer_outcome::kind how = transfer_outcome::kind::running;
    };
    std::shared_ptr<run> run_;
    uint16_t engine_port_ = 0;
};
