// The three client lists, the check of every sender, and the access dialog's check of the texts.
#include "engine_fixture.h"
#include "server/access_lists.h"
#include "server/settings.h"
#include "ui/test_backend.h"
#include "wait_until.h"

namespace {

class access_lists : public engine_test {
  protected:
    void SetUp() override {
        engine_test::SetUp();
        server_settings lists;
        lists.ServiceIP = 1;
        settings_serve(lists);
    }
    void TearDown() override {
        settings_serve(server_settings{});
        engine_test::TearDown();
    }
    // The list (or the switch) that serves from now on.
    static void set(std::string server_settings::*list, const std::string& text) {
        server_settings value = *settings_now();
        value.*list = text;
        settings_serve(value);
    }
    static int check(const char* client) {
        net_endpoint address;
        EXPECT_TRUE(address_parse(client, &address)) << client;
        address.port = 1234;
        return tftp_netvalidate(address);
    }
    std::vector<std::string> dialog_messages(const char* c, const char* r, const char* w) {
        access_lists_check(c, r, w);
        std::vector<std::string> texts;
        for (const ui_test_box& box : ui_test_boxes())
            texts.push_back(box.text);
        return texts;
    }
};

TEST_F(access_lists, with_the_option_off_everybody_is_served_unseen) {
    settings_serve(server_settings{});
    EXPECT_EQ(check("10.1.2.3"), 0);
    EXPECT_EQ(trace(), "");
}

TEST_F(access_lists, empty_lists_refuse_everybody) {
    EXPECT_EQ(check("127.0.0.1"), -1);
    EXPECT_NE(trace().find("tftp_netvalidate: Connection refused from client 127.0.0.1."),
              std::string::npos);
}

TEST_F(access_lists, individual_clients_by_address_or_name) {
    set(&server_settings::ServiceIPC, "10.9.9.9, 10.1.2.3");
    EXPECT_EQ(check("10.1.2.3"), 0);
    EXPECT_EQ(check("10.1.2.4"), -1);
    // Names are judged by what the resolver's thread found, once it has: never at a request.
    set(&server_settings::ServiceIPC, "no-such-host.invalid localhost");
    access_lists_resolve();
    EXPECT_TRUE(wait_until([&] { return check("127.0.0.1") == 0; }, 10000));
    EXPECT_NE(trace().find("tftp_netvalC: Connection accepted from client 127.0.0.1 ("),
              std::string::npos);
    EXPECT_EQ(check("127.0.0.9"), -1);
    EXPECT_TRUE(wait_until(
        [&] {
            return trace().find("tftp_netvalC: Failed to resolve host no-such-host.invalid.") !=
                   std::string::npos;
        },
        10000));
}

TEST_F(access_lists, ranges_compare_whole_addresses) {
    set(&server_settings::ServiceIPR, "10.0.20.1 - 10.0.25.254");
    for (const char* inside : {"10.0.20.1", "10.0.21.7", "10.0.21.255", "10.0.22.0", "10.0.25.254"})
        EXPECT_EQ(check(inside), 0) << inside;
    for (const char* outside : {"10.0.20.0", "10.0.25.255", "10.1.21.7"})
        EXPECT_EQ(check(outside), -1) << outside;
    set(&server_settings::ServiceIPR, "10.0.0.1-10.0.0.9");
    EXPECT_EQ(check("10.0.0.5"), 0);
}

TEST_F(access_lists, broken_ranges_are_passed_over_with_a_trace_line) {
    set(&server_settings::ServiceIPR, "10.0.0.1, 10.0.0.1 - 10.0.0.300,10.0.0.1 - 10.0.0.9");
    EXPECT_EQ(check("10.0.0.5"), 0);
    EXPECT_NE(trace().find("tftp_netvalR: 10.0.0.1 is not a valid range."), std::string::npos);
    EXPECT_NE(trace().find("tftp_netvalR: 10.0.0.300 is not a valid IP range address."),
              std::string::npos);
}

TEST_F(access_lists, masks_match_part_by_part) {
    set(&server_settings::ServiceIPW, "10.0.*.5");
    EXPECT_EQ(check("10.0.77.5"), 0);
    EXPECT_EQ(check("10.0.77.6"), -1);
    set(&server_settings::ServiceIPW, "10.0.20.1*"); // only the stored settings can hold this one
    EXPECT_EQ(check("10.0.20.1"), 0);
    set(&server_settings::ServiceIPW, "10.0.*");
    EXPECT_EQ(check("10.0.1.1"), -1);
    EXPECT_NE(trace().find("tftp_netvalW: 10.0.* is not a valid IP mask address."),
              std::string::npos);
    set(&server_settings::ServiceIPW, "*.*.*.*");
    EXPECT_EQ(check("192.168.1.1"), 0);
}

TEST_F(access_lists, a_list_replaced_during_checks_is_seen_whole) {
    // The window replaces the list for as long as the checks go on, so that they overlap.
    std::atomic<int> checks{0};
    set(&server_settings::ServiceIPW, "10.0.0.*");
    std::thread window([&] {
        for (int i = 0; checks < 2000; ++i)
            set(&server_settings::ServiceIPW, i % 2 ? "10.0.0.*" : "10.0.0.* , 10.0.1.*");
    });
    for (; checks < 2000; ++checks)
        EXPECT_EQ(check("10.0.0.7"), 0);
    window.join();
}

TEST_F(access_lists, take_ipv6_clients_ranges_and_prefixes_and_prefixes_of_ipv4) {
    set(&server_settings::ServiceIPC, "2001:db8::7, ::1");
    EXPECT_EQ(check("2001:db8:0::7"), 0);
    EXPECT_EQ(check("::1"), 0);
    EXPECT_EQ(check("2001:db8::8"), -1);
    set(&server_settings::ServiceIPC, "");
    set(&server_settings::ServiceIPR, "2001:db8::10 - 2001:db8::1:0, 10.0.0.1 - 10.0.0.9");
    EXPECT_EQ(check("2001:db8::ffff"), 0); // whole addresses, across a group boundary
    EXPECT_EQ(check("2001:db8::1:1"), -1);
    EXPECT_EQ(check("10.0.0.5"), 0);
    set(&server_settings::ServiceIPR, "");
    set(&server_settings::ServiceIPW, "2001:db8::/48 10.0.20.0/24");
    EXPECT_EQ(check("2001:db8:0:ffff::1"), 0);
    EXPECT_EQ(check("2001:db9::1"), -1);
    EXPECT_EQ(check("10.0.20.200"), 0);
    EXPECT_EQ(check("10.0.21.1"), -1);
    EXPECT_TRUE(access_lists_check("2001:db8::7", "2001:db8::1 - 2001:db8::9",
                                   "2001:db8::/48, 10.0.20.0/24, 10.0.*.*"));
    EXPECT_FALSE(access_lists_check("", "10.0.0.1 - 2001:db8::9", "")); // two families
    EXPECT_FALSE(access_lists_check("", "", "2001:db8::/129"));
}

TEST_F(access_lists, the_dialog_reports_every_fault) {
    auto messages = dialog_messages("no-such-host.invalid", "10.0.0.1, 10.0.0.9 - 10.0.0.1",
                                    "*, 10.*1.0.0, 1*.0.0.0, 10.0.0.*");
    std::vector<std::string> expected = {
        "Failed to resolve host no-such-host.invalid.",
        "10.0.0.1 is not a valid range.",
        " 10.0.0.9 - 10.0.0.1 has its starting address greater than its ending address.",
        "* is not a valid IP mask address.",
        "10.*1.0.0 is not a valid IP mask address.",
        "1*.0.0.0 is not a valid IP mask address.",
    };
    EXPECT_EQ(messages, expected);
    EXPECT_TRUE(access_lists_check("localhost 10.1.1.1", "10.0.0.1 - 10.0.0.9", "10.0.*.*"));
    // An address is the whole entry: nothing may follow it, not even after a blank of its own.
    EXPECT_FALSE(access_lists_check("", "10.0.0.1 - 10.0.0.9\vjunk", ""));
    // A mask of fewer than four parts would match no client: the dialog refuses it too.
    EXPECT_FALSE(access_lists_check("", "", "10.0.*"));
    EXPECT_FALSE(access_lists_check("", "", "0"));
}

TEST_F(access_lists, after_a_fault_masks_get_only_the_placement_test) {
    EXPECT_FALSE(access_lists_check("", "", "300.0.0.*"));
    EXPECT_EQ(ui_test_boxes().size(), 1u);
    EXPECT_FALSE(access_lists_check("no-such-host.invalid", "", "300.0.0.*"));
    EXPECT_EQ(ui_test_boxes().size(), 2u); // only the host's message this time
}

} // namespace
