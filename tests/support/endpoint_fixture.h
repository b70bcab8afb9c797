// A transfer of the engine's own, with its socket on loopback, facing a scripted peer of the
// test's.
#pragma once

#include "engine/transfer.h"
#include "engine_fixture.h"
#include "udp_peer.h"

#include <memory>

class endpoint_test : public engine_test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // The port the engine's transfer socket is bound to.
    uint16_t engine_port() const;

    std::unique_ptr<udp_peer> peer;
    std::unique_ptr<transfer> t;
};
