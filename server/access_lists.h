// Which clients the server serves when "Service only clients" is on: a list of individual
// clients (addresses or host names, of either IP family), a list of address ranges (two IPv4 or
// two IPv6 addresses) and a list of address masks (10.0.20.* parts, or a prefix of either family
// such as 10.0.20.0/24 or 2001:db8::/48).
#pragma once

#include "platform/socket.h"

#include <string>

// Resolves the host names of the clients list that serves ahead of the requests it judges: when
// the settings are read, and whenever the list changes.
void access_lists_resolve();
// 0 when the sender is admitted, -1 when refused.
int tftp_netvalidate(const net_endpoint& sender);
// Each list's own test of a client: 0 admitted, -1 not (an empty list admits nobody).
int tftp_netvalC(const net_endpoint& client, const std::string& list);
int tftp_netvalR(const net_endpoint& client, const std::string& list);
int tftp_netvalW(const net_endpoint& client, const std::string& list);

// The access dialog's check of the three texts: every fault is reported with report_error;
// true when there is none. Without resolve_names a host name is left to the resolver, which
// reports it once if it does not resolve: a service may start while its name server is away.
bool access_lists_check(const std::string& clients, const std::string& ranges,
                        const std::string& masks, bool resolve_names = true);
struct server_settings;
// The same check of the settings' lists, their names left to the resolver.
bool access_lists_check(const server_settings& settings);
