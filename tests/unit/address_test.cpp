// Addresses of both families as the programs read and show them: a host with or without its
// port, the address texts, the listening addresses, and the transfers' port range.
#include "platform/address.h"
#include "server/listeners.h"
#include "server/transfer_ports.h"

#include <gtest/gtest.h>

namespace {

TEST(addresses, hosts_with_and_without_their_port) {
    const struct {
        const char* text;
        bool read;
        const char* host;
        int port;
    } cases[] = {
        {"tftp.lab", true, "tftp.lab", 0},
        {"tftp.lab:6969", true, "tftp.lab", 6969},
        {"192.0.2.1:69", true, "192.0.2.1", 69},
        {"2001:db8::1", true, "2001:db8::1", 0}, // all address
        {"[2001:db8::1]", true, "2001:db8::1", 0},
        {"[2001:db8::1]:6969", true, "2001:db8::1", 6969},
        {"[fe80::1%lo]:69", true, "fe80::1%lo", 69},
        {"host:0", false, "", 0},
        {"host:70000", false, "", 0},
        {"host:69x", false, "", 0},
        {"[2001:db8::1", false, "", 0},
        {"[2001:db8::1]69", false, "", 0},
    };
    for (const auto& c : cases) {
        std::string host;
        int port = -1;
        EXPECT_EQ(host_port_split(c.text, &host, &port), c.read) << c.text;
        if (c.read) {
            EXPECT_EQ(host, c.host) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
}

TEST(addresses, read_and_shown_in_their_usual_form) {
    // The loopback's link scope: by name on Linux, by number on Windows.
#ifdef _WIN32
    const char* const scoped = "fe80::1%1";
#else
    const char* const scoped = "fe80::1%lo";
#endif
    const struct {
        const char* text;
        const char* shown; // "" when not an address
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"}, {"10.1", "10.0.0.1"}, // inet_addr's short form
        {"0:0:0:0:0:0:0:1", "::1"}, {"2001:DB8::0:1", "2001:db8::1"},
        {scoped, scoped},           {"10.0.0.1 junk", ""},
        {"::1%no-such-if", ""},     {"localhost", ""},
    };
    for (const auto& c : cases) {
        net_endpoint e;
        EXPECT_EQ(address_parse(c.text, &e), *c.shown != '\0') << c.text;
        EXPECT_EQ(*c.shown ? address_text(e) : "", c.shown) << c.text;
    }
    net_endpoint six;
    ASSERT_TRUE(address_parse("2001:db8::1", &six));
    six.port = 69;
    EXPECT_EQ(endpoint_text(six), "[2001:db8::1]:69");
    EXPECT_EQ(endpoint_text(ipv4_endpoint(0x7f000001, 69)), "127.0.0.1:69");
}

TEST(addresses, to_listen_on_and_the_ports_of_transfers) {
    std::vector<net_endpoint> addresses;
    std::string bad;
    ASSERT_TRUE(
        listen_addresses_parse("127.0.0.2, [::1]:6970 10.0.0.1:7000", 69, &addresses, &bad));
    ASSERT_EQ(addresses.size(), 3u);
    EXPECT_EQ(endpoint_text(addresses[0]), "127.0.0.2:69");
    EXPECT_EQ(endpoint_text(addresses[1]), "[::1]:6970");
    EXPECT_EQ(endpoint_text(addresses[2]), "10.0.0.1:7000");
    EXPECT_TRUE(listen_addresses_parse("", 69, &addresses, &bad));
    EXPECT_TRUE(addresses.empty());
    EXPECT_FALSE(listen_addresses_parse("127.0.0.1, router.lab", 69, &addresses, &bad));
    EXPECT_EQ(bad, "router.lab");

    int low = -1, high = -1;
    EXPECT_TRUE(port_range_parse("50000:50099", &low, &high));
    EXPECT_EQ(low, 50000);
    EXPECT_EQ(high, 50099);
    EXPECT_TRUE(port_range_parse("", &low, &high));
    EXPECT_EQ(low, 0);
    for (const char* bad_range : {"50099:50000", "0:10", "1:65536", "5000", "a:b", "1-2"})
        EXPECT_FALSE(port_range_parse(bad_range, &low, &high)) << bad_range;
}

} // namespace
