// Which clients the server serves when "Service only clients" is on: a list of individual
// clients (addresses or host names), a list of address ranges and a list of address masks.
#pragma once

#include "platform/socket.h"

#include <string>

// 0 when the sender is admitted, -1 when refused.
int tftp_netvalidate(const ipv4_endpoint& sender);
// Each list's own test of a client's dotted address: 0 admitted, -1 not (an empty list admits
// nobody).
int tftp_netvalC(const std::string& client);
int tftp_netvalR(const std::string& client);
int tftp_netvalW(const std::string& client);

// The access dialog's check of the three texts: every fault is reported with report_error;
// true when there is none.
bool access_lists_check(const std::string& clients, const std::string& ranges,
                        const std::string& masks);
