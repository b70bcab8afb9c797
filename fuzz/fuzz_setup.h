// What every fuzz target needs once: a recording window backend, a role, a temporary folder as
// TMPDIR and root, and a transfer socket whose sends go to a sink on loopback.
#pragma once

#include "diag/role.h"

#include <string>

// Prepares the process for the role; returns the folder the target may use.
const std::string& fuzz_prepare(const role_profile& role);
// A transfer socket that sends to the sink, made anew when an abort has closed it.
void fuzz_transfer_socket();
