// The system's journal, where a service's output goes (systemd's on Linux): entries that carry
// fields of their own besides their message, which the journal's reader can select by
// ("journalctl TFTP_CLIENT=10.0.0.7"). Windows has none that the programs write to.
#pragma once

#include <string>
#include <vector>

struct journal_field {
    std::string name; // in capitals: TFTP_CLIENT
    std::string value;
};

// Whether the program's standard output is the journal's, as a service's is.
bool journal_connected();
// Sends message with its fields as one entry; false when the journal did not take it.
bool journal_send(const std::string& message, const std::vector<journal_field>& fields);
