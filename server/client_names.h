// The host names of the individual clients list, resolved away from the serving path: a request
// is judged by the addresses its names had when they were last resolved, and nothing that
// serves ever waits for a name server.
#pragma once

#include "platform/address.h"

#include <string>
#include <vector>

// Resolves names on the resolver's thread now, and again every few minutes while they are the
// list's; a name that does not resolve is reported once, not at every request.
void client_names_resolve(const std::vector<std::string>& names);
// Whether client has one of the addresses name had at its last resolution; false while it has
// none yet (it is then resolved in the background). *official is the name's official name.
bool client_name_matches(const std::string& name, const net_endpoint& client,
                         std::string* official);
