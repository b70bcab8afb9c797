// What every fuzz target needs once: a recording window backend, a role, a temporary folder as
// TMPDIR and root, and transfers whose sends go to a sink on loopback.
#pragma once

#include "diag/role.h"
#include "engine/transfer.h"

#include <string>

// A fatal report: the fuzzed role's abort throws it where a program would end the thread, so
// that anything else thrown reaches the fuzzer as the crash it is.
struct fuzz_fatal {};

// Prepares the process for a copy of the role whose abort throws fuzz_fatal; returns the folder
// the target may use.
const std::string& fuzz_prepare(const role_profile& role);

// A transfer whose sends go to the sink; its socket lives on from one input to the next.
struct fuzz_transfer : transfer {
    fuzz_transfer();
    ~fuzz_transfer();
};
