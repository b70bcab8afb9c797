#include "platform/neighbours.h"

#include <cstring>
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>

std::string neighbour_hardware_name(const net_endpoint& client) {
    const bool six = client.family == net_family::v6;
    MIB_IPNET_TABLE2* table = nullptr;
    if (GetIpNetTable2(six ? AF_INET6 : AF_INET, &table) != NO_ERROR) return "";
    std::string name;
    for (ULONG i = 0; i < table->NumEntries && name.empty(); ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        const void* address = six ? static_cast<const void*>(&row.Address.Ipv6.sin6_addr)
                                  : static_cast<const void*>(&row.Address.Ipv4.sin_addr);
        const bool known = row.State != NlnsUnreachable && row.State != NlnsIncomplete &&
                           row.PhysicalAddressLength > 0;
        if (!known || std::memcmp(address, client.address.data(), six ? 16 : 4) != 0) continue;
        name = hardware_name(row.PhysicalAddress, row.PhysicalAddressLength);
    }
    FreeMibTable(table);
    return name;
}
